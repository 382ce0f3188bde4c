// Finding and loading the Java runtime's VM library: by default anywhere below
// the game's ../runtime directory, or directly in a directory that the
// settings name.
#pragma once

#include <string>

#include "java_launcher.h"

namespace tessvik {

// Writes the game directory on a line of its own and sets the launcher's
// runtimePath to the first runtime library found below ../runtime.
void locateDefaultRuntime(JavaLauncher& launcher);

// The runtime library's full path inside path, or "" with a message naming
// where it looked.
std::string validateJavaPath(const std::string& path);

// The settings' JavaPath as a path: a relative one is taken from the game
// directory, never from the current directory.
std::string javaPathIn(const std::string& gameDirectory, const std::string& javaPath);

// Loads the runtime library the settings choose (the override, else the
// default one) into runtimeModule, with its messages; also notes the loaded
// path and the runtime's version. False when there is none, when it lies
// where a Java VM cannot run from, or when it does not load (with the
// system's reason): the launch cannot go on.
bool loadRuntime(JavaLauncher& launcher);

// The line that says a library at path did not load, and the system's reason
// why (which, from dlerror, names the path itself).
std::string notLoadedLine(const std::string& path, const std::string& why);

// Where the libraries that the runtime library needs are searched for: the
// parent of the directory holding it (a JDK's bin for bin/server/jvm.dll).
std::string runtimeLibraryDirectory(const std::string& libraryPath);

}  // namespace tessvik
