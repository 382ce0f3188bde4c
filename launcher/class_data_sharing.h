// Application class-data sharing for the client: the launcher keeps a dynamic
// class-data archive of the classes the client loads, in the user's cache,
// and has the Java VM map it at start instead of loading and verifying those
// classes again. The archive's name carries the identity of everything it
// depends on (the runtime, the class path files, the VM options), so a game
// update or a new runtime makes a new one; the VM writes it at the end of a
// run that had none.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct JavaLauncher;
struct PendingAssembly;

struct SharingInput {
    std::optional<int> runtimeVersion;  // feature version, from the release file
    std::string runtimeLibrary;         // the VM library that was loaded
    std::string gameDirectory;
    std::vector<std::string> classPath;  // every entry, files and directories
    std::vector<std::string> vmOptions;  // the launch's options without sharing
    std::string cacheDirectory;          // the user's cache directory, "" for none
    // The bytes free on the cache's file system; asked of it when not given.
    std::optional<std::uint64_t> cacheFreeBytes;
};

struct SharingPlan {
    std::vector<std::string> options;  // to add after the user's VM options
    std::string message;               // one line for standard output
    // An ahead-of-time cache's assembly, to start when a recording VM ended.
    std::shared_ptr<PendingAssembly> assembly = nullptr;
    // The dynamic archive used or written, "" for none; whether the VM writes
    // it as it ends; where the VM logs mapping it, "" when not asked.
    std::string archive = {};
    bool writes = false;
    std::string mapLog = {};
};

// Decides the archive and its options, and prepares the archive's directory:
// makes it, removes older archives of the same game, and an archive that is
// damaged, of another VM, or was in use when a launch ended abnormally. An
// archive is written only where the cache has room for it, and never again
// for the same inputs once writing it failed. Java 25 and later get the
// ahead-of-time cache instead (planAotCache, aot_cache.h); Java 19 to 24
// create and refresh the archive themselves; Java 13 to 18 either use a
// complete archive or write one at the end of this run; older or unknown
// runtimes get no options.
SharingPlan planClassDataSharing(const SharingInput& input);

// The room a new archive may need: its bound for a class path of
// classPathBytes. Measured on HotSpot 17: an archive holds about 4 bytes per
// byte of the jars whose classes it holds, and up to 41 MB for the runtime's
// own classes that its default archive lacks (6,000 of them).
std::uint64_t archiveRoomNeeded(std::uint64_t classPathBytes);

// The sum of the sizes of the class path's files.
std::uint64_t classPathBytes(const std::vector<std::string>& classPath);

// The plan for this launch, with its line written on standard output. The
// archive is marked as in use until the VM ends, and the VM's end records
// what became of it (archiveAfterRun).
SharingPlan classDataSharingPlan(const JavaLauncher& launcher, const std::string& classPathOption);

// After the VM has been created: an archive the VM was given but did not map
// is removed, so that the next launch writes it anew; when a fresh archive is
// not mapped either, writing it stops for these inputs.
void checkArchiveMapped(const SharingPlan& plan);

// What the end of the VM means for the plan's archive: after a run that wrote
// it, the archive gets its integrity record; a missing one, or one the VM
// aborted writing (completed false), is noted as a failed write and removed.
void archiveAfterRun(const SharingPlan& plan, bool completed);
