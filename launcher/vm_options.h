// The option texts the Java VM is created with, as plain data: the six fixed
// options, the user's extra options from the settings, the class-data
// sharing options, then the verbose switches in the order jni, gc, class.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "launch_settings.h"

// True when workDir's own path holds the class path separator, so that a
// path list (class path, library path) would split every full path below it.
bool pathsBelowSplitInLists(const std::string& workDir);

// A path below the game's working directory, given as below with its leading
// separator, as an entry of a path list: in full, or relative to workDir when
// workDir's path would split it (the launch then runs in workDir).
std::string pathListEntry(const std::string& workDir, const std::string& below);

// workDir is the game's working directory, classPathOption the complete
// "-Djava.class.path=..." text, nativeLibDir the native library
// subdirectory with its leading separator. runtimeVersion is the feature
// version of the runtime the VM comes from, when known: an extra option that
// runtime no longer takes is left out.
std::vector<std::string> javaVmOptions(const std::string& workDir,
                                       const std::string& classPathOption,
                                       const std::string& nativeLibDir,
                                       const LaunchSettings& settings,
                                       std::optional<int> runtimeVersion = std::nullopt,
                                       const std::vector<std::string>& sharingOptions = {});
