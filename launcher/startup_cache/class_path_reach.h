// Everything the VM can load a game's classes from: the class path its
// options give, and every jar and folder that a jar's manifest adds with its
// Class-Path attribute, followed as the JDK follows it. The start-up cache's
// key covers all of it, so that a patched library anywhere in it gives a new
// cache.
#pragma once

#include <string>
#include <vector>

#include "vm_option_sources.h"

namespace tessvik {

// The class path the VM takes: the last -Djava.class.path among the options,
// in the VM's order, split at the platform's separator; a relative entry is
// taken from directory, the VM's current one. Empty entries are dropped.
std::vector<std::string> effectiveClassPath(const std::vector<GivenVmOption>& options,
                                            const std::string& directory);

// The entries the manifest of the jar at path names in its Class-Path
// attribute, as paths: relative URLs resolved against the jar's folder, file
// URLs taken as they are, others left out (as the JDK leaves them). A folder's
// entry ends with a separator. Nothing when the jar has no such attribute or
// cannot be read.
std::vector<std::string> manifestClassPath(const std::string& jarPath);

// classPath with, after each jar, what its manifest adds (and what the jars it
// adds add in turn), each entry once.
std::vector<std::string> reachableClassPath(const std::vector<std::string>& classPath);

}  // namespace tessvik
