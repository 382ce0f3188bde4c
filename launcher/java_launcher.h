// The launcher record: everything the launch finds on its way from the game's
// directory tree to a running Java main method. Each stage of the launch
// (launch.cpp) fills its part once, in launch order, and the stages after it
// only read it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "launch_settings.h"
#include "platform/libraries.h"

namespace tessvik {

struct JavaLauncher {
    // The directory that holds the launcher: the game folder, every path of the
    // launch is built on it, and the VM's working directory (-Dworkdir).
    std::string gameDirectory;
    std::string gameName;     // for the user's folders and the launcher's boxes
    std::string mainJar;      // file name of the client's main jar in gameDirectory
    std::string mainClass;    // the Java main class, in JNI internal form ("a/b/Main")
    std::string runtimePath;  // the default search's runtime library, "" when none
    // Folders below gameDirectory, by name: the library folder whose files join
    // the class path, the native library folder given to the VM, and the
    // folders that join the class path as folders.
    std::string libDir;
    std::string nativeLibDir;
    std::vector<std::string> extraClassPathDirs;
    std::vector<std::string> programArgs;  // for the Java main method
    const LaunchSettings& settings;
    platform::ResidentLibrary runtimeModule;  // never unloaded
    std::vector<std::string> classPath;       // full paths, in class path order
    // The runtime library loadRuntime loaded (default or override), and the
    // runtime's feature version from its release file when it has one.
    std::string loadedRuntimePath;
    std::optional<int> runtimeVersion;

    // A record of the game in gameDirectory: the fixed layout of its tree, and
    // the main jar, main class and name that the settings' [Game] give.
    JavaLauncher(const LaunchSettings& launchSettings, std::string gameDirectory);
    JavaLauncher(const JavaLauncher&) = delete;
    JavaLauncher& operator=(const JavaLauncher&) = delete;
};

// The game's name: the settings' Name, else the name of the folder that holds
// the game directory (the install folder: "Tiny Quest" for
// ".../common/Tiny Quest/game"), else the game directory's own name.
std::string gameNameOf(const LaunchSettings& settings, const std::string& gameDirectory);

// A class's binary name ("a.b.Main", or already "a/b/Main") in the JNI
// internal form that FindClass takes ("a/b/Main").
std::string internalClassName(const std::string& binaryName);

}  // namespace tessvik
