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

// The runtime library's full path inside path, or "" with a message.
std::string validateJavaPath(const std::string& path);

// Loads the runtime library the settings choose (the override, else the
// default one) into runtimeModule, with its messages; also notes the loaded
// path and the runtime's version. False when there is none or it does not
// load: the launch cannot go on.
bool loadRuntime(JavaLauncher& launcher);

// Where the libraries that the runtime library needs are searched for: the
// parent of the directory holding it (a JDK's bin for bin/server/jvm.dll).
std::string runtimeLibraryDirectory(const std::string& libraryPath);

}  // namespace tessvik
