// The class path: the main jar first, then every other jar of the game
// directory, then every file of its lib folder, then the two resource folders.
#pragma once

#include <string>

#include "java_launcher.h"

namespace tessvik {

// Appends the main jar to the class path when it exists.
void findMainJar(JavaLauncher& launcher);

// Appends the other jars and the lib folder's files to the class path, each
// path once.
void collectJars(JavaLauncher& launcher);

// The complete class path option, "-Djava.class.path=...".
std::string buildClassPathOption(const JavaLauncher& launcher);

// True when the game directory's own path holds the class path separator, so
// that a path list (class path, library path) would split every full path
// below it.
bool pathsBelowSplitInLists(const std::string& gameDirectory);

// A path below the game directory, given as the relative path below, as an
// entry of a path list: in full, or relative to the game directory when its
// path would split it (the launch then runs in it: enterGameDirectory).
std::string pathListEntry(const std::string& gameDirectory, const std::string& below);

// Where the game directory's path would split path lists, makes it the
// current directory, with a line saying so.
void enterGameDirectory(const std::string& gameDirectory);

}  // namespace tessvik
