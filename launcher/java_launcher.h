// The launcher record: everything the launch sequence finds and builds on its
// way from the game's directory tree to a running Java main method.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <jni.h>

#include "launch_settings.h"
#include "platform/platform.h"

struct JavaLauncher {
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    std::string workDir;
    std::string mainJar;
    std::string mainClass;
    std::string runtimePath;
    std::string libDir;
    std::string nativeLibDir;
    std::vector<std::string> extraClassPathDirs;
    std::vector<std::string> programArgs;
    const LaunchSettings& settings;
    platform::ResidentLibrary runtimeModule;  // never unloaded
    std::vector<std::string> classPath;
    // The runtime library loadRuntime loaded (default or override), and the
    // runtime's feature version from its release file when it has one.
    std::string loadedRuntimePath;
    std::optional<int> runtimeVersion;

    explicit JavaLauncher(const LaunchSettings& launchSettings) : settings(launchSettings) {}
    JavaLauncher(const JavaLauncher&) = delete;
    JavaLauncher& operator=(const JavaLauncher&) = delete;

    // Runtime location and loading.
    void locateDefaultRuntime();
    bool loadRuntime();
    // Loads the runtime, sets the working directory, collects the class path.
    bool prepare();

    // Class path assembly.
    void findMainJar();
    void collectJars();
    std::string buildClassPathOption() const;

    // Creates the VM, calls the main class's main and destroys the VM.
    // Returns the process exit status.
    int run();
};

// Gives a launcher record the fixed layout of the game's tree: the main jar
// and class, and the lib, nativelibs, internal-pack and launcher-data
// subdirectories, each with its leading separator.
void assignGameLayout(JavaLauncher& launcher);

// The directory of the running executable, without a trailing separator.
std::string executableDirectory();
// The directory part of the executable's path (as the platform gives it),
// or nothing when that path does not show a directory holding the file:
// every path of the launch is built on that directory, so without it the
// launch cannot go on.
std::optional<std::string> directoryHoldingExecutable(const std::string& executablePath);

// Appends to results every file of directory that matches name: by exact
// name (listing everything) when matchByName, else by the platform's pattern
// matching. recurse searches each subdirectory completely where the listing
// meets it (depth-first), except one that the search has already entered by
// another path (a link).
void findFiles(std::string directory, std::string name, std::vector<std::string>& results,
               bool matchByName, bool recurse);

// The runtime library's full path inside path, or "" with a message.
std::string validateJavaPath(const std::string& path);

// Where the libraries that the runtime library needs are searched for: the
// parent of the directory holding it (a JDK's bin for bin/server/jvm.dll).
std::string runtimeLibraryDirectory(const std::string& libraryPath);
