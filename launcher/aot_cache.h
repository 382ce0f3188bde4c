// The ahead-of-time cache of Java 25 and later: the classes the client loads,
// already loaded and linked, with the profiles of their methods, mapped by the
// VM at start. It takes two steps: a launch without a cache records what the
// client does when its VM ends (a configuration file), and a separate VM
// assembles the cache from that record. The assembly runs after the game, in
// a detached process of low priority (aot_assembly.h), so the player never
// waits for it. Every file lives in the game's folder of the user's cache,
// named for everything the cache depends on, like the dynamic archive of
// older runtimes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "class_data_sharing.h"
#include "platform/platform.h"

// The first feature version whose VM takes -XX:AOTMode, -XX:AOTConfiguration
// and -XX:AOTCache with method profiles in the cache.
constexpr int firstAotCacheVersion = 25;

// The files of one game's cache for one set of inputs.
struct AotCacheFiles {
    std::string cache;          // the cache the VM maps
    std::string partial;        // the cache while it is assembled
    std::string configuration;  // what the recording launch's VM saw
    std::string lock;           // held by whoever records or assembles
    std::string request;        // what the assembly is to do
};

// The files in directory of the cache named name: the cache and its
// companions, which go with it when its inputs change.
AotCacheFiles aotCacheFiles(const std::string& directory, const std::string& name);

// Everything the assembly needs: the VM the recording launch ran, its options
// without sharing, and the files.
struct AssemblyRequest {
    std::string runtimeLibrary;
    std::string javaProgram;  // the runtime's own bin/java, "" when it has none
    std::vector<std::string> vmOptions;
    AotCacheFiles files;
};

// A recording launch's assembly, to start once its VM has ended. The lock
// keeps every other launch from recording the same configuration meanwhile.
struct PendingAssembly {
    AssemblyRequest request;
    platform::FileLock lock;
};

// Everything a cache depends on, as text: the runtime (its release file, VM
// library and modules image), every class path entry, every VM option (those
// the environment adds to every VM too), and the machine.
std::string aotCacheIdentity(const SharingInput& input, const std::string& library);

// The room a new cache may need on the cache's file system, for a class path
// of classPathBytes: the recorded configuration and the cache side by side.
std::uint64_t aotCacheRoomNeeded(std::uint64_t classPathBytes);

// The plan for a launch on a runtime of Java 25 or later, with its cache in
// directory (made and writable): the cache used where it is complete,
// recorded where it is missing and nobody else is preparing it, nothing while
// another launch records or assembles it. Files of other inputs are removed.
SharingPlan planAotCache(const SharingInput& input, const std::string& directory,
                         const std::string& library);

// Starts the plan's assembly, if it has one, once the VM has ended, whether
// the client's main returned or it called System.exit. A launch whose VM
// failed at its end, or crashed, starts none; its lock ends with it.
void startAssemblyAtExit(std::shared_ptr<PendingAssembly> assembly);
