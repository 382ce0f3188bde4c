// The assembly of an ahead-of-time cache, after the recording launch has
// ended. The launcher starts itself again, detached and at a low priority, in
// an assembly mode that nothing on a player's command line reaches: the mode
// is chosen by two environment variables, a request file that the launch
// wrote in the cache folder and a one-time token that must match the one the
// file holds. Any other start is a launch, every argument going to the
// client's main.
//
// The assembly holds the cache's lock, runs the assembling VM as a child (the
// runtime's own bin/java, or this program once more loading the runtime's VM
// library, since the VM ends its process once the cache is written), and
// gives the cache its name only when that VM succeeded: a cache is never seen
// half written, and a configuration that fails to assemble is removed so that
// the next launch records again.
#pragma once

#include <optional>

#include "aot_cache.h"

// Writes the request and starts the assembly. False when it could not start;
// the recorded configuration is then removed.
bool startAssembly(const AssemblyRequest& request);

// When this process was started as an assembly (or as its VM), does that work
// and gives the exit status; nothing when it is a launch.
std::optional<int> runRequestedAssembly();
