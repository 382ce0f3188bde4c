// The assembly of an ahead-of-time cache. A recording launch starts it before
// its VM: the launcher once more, detached and at a low priority, in an
// assembly mode that nothing on a player's command line reaches (two
// environment variables: a request file in the cache folder and a one-time
// token that the file must hold). It locks its request, so that no launch
// takes it for a leftover, and waits for the entry's lock, which the
// recording launch holds until it ends. A recording that ended normally left
// its configuration under its name: the assembly then runs the assembling VM
// and a trial start with the cache as children (this program, loading the
// runtime's VM library, each ending with the assembly however it ends), with
// only the options the cache depends on and none of the game's option
// variables, and names the cache when both succeeded. It never runs the game.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cache_entry.h"

namespace tessvik {

struct AssemblyRequest {
    std::string runtimeLibrary;
    std::vector<std::string> vmOptions;  // the recording launch's that the cache depends on
    CacheEntry entry;
};

// Writes the request, with a new token: the token, or "" when it could not be
// written.
std::string writeAssemblyRequest(const AssemblyRequest& request);

// Starts the assembly of the entry whose request holds token. False when it
// could not start; the request is then removed.
bool startAssembly(const CacheEntry& entry, const std::string& token);

// When this process was started as an assembly (or as one of its VMs), does
// that work and gives the exit status; nothing when it is a launch. A start
// with the assembly's variables but without a request of its own ends at once.
std::optional<int> runRequestedAssembly();

}  // namespace tessvik
