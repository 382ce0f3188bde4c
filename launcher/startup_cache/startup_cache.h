// The start-up cache: the classes the client loads, kept in the user's cache
// and mapped by the Java VM at start instead of being loaded and verified
// again. Java 13 to 24 get a dynamic class-data archive, written by the
// client's own VM as it ends; Java 25 and later an ahead-of-time cache,
// recorded by the client's VM and assembled after it by a detached process
// (aot_assembly.h). Each entry's name carries a digest of everything it
// depends on (the runtime, the class path files, the VM options), so a game
// update or a new runtime makes a new one. The protocol between launches is
// cache_entry.h's; what a launch does is decided by cache_decision.h.
//
// A launch holds a StartupCacheLaunch from before its VM to its VM's end.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/processes.h"
#include "vm_option_sources.h"

namespace tessvik {

struct SharingInput {
    std::optional<int> runtimeVersion;  // feature version, from the release file
    std::string runtimeLibrary;         // the VM library that was loaded
    std::string gameDirectory;
    std::string gameName;                // names the game's folder
    std::vector<std::string> classPath;  // the VM's, every entry, files and directories
    std::vector<std::string> vmOptions;  // the launcher's options without sharing
    // Every option the VM takes, the launcher's and the game's of every
    // source, in the VM's order.
    std::vector<GivenVmOption> givenOptions;
    std::string cacheDirectory;  // the user's cache directory, "" for none
    // The bytes free on the cache's file system; asked of it when not given.
    std::optional<std::uint64_t> cacheFreeBytes;
};

struct SharingPlan {
    std::vector<std::string> options;  // to add after the user's VM options
    std::string message;               // one line for standard output
};

struct CacheRun;

// One launch's use of the cache, from its plan to its VM's end. What the
// launch holds (the entry's lock for a write, the mark of its use) is held
// until the object goes, or the process does.
class StartupCacheLaunch {
public:
    // Decides this launch's use of the cache and does the file work that goes
    // before the VM: the folder made, other inputs' entries and a damaged or
    // crashed cache removed, the entry's lock taken for a write, the cache
    // marked in use, an assembly's request written.
    explicit StartupCacheLaunch(const SharingInput& input);
    ~StartupCacheLaunch();
    StartupCacheLaunch(const StartupCacheLaunch&) = delete;
    StartupCacheLaunch& operator=(const StartupCacheLaunch&) = delete;

    const SharingPlan& plan() const { return plan_; }

    // Starts what waits for this launch's end (an ahead-of-time cache's
    // assembly). When it could not start, the plan becomes one without
    // options and the launch lets go of the entry.
    void startBackgroundWork();

    // Just before the VM is created with the plan's options: should the VM
    // end the process while it starts (it refused them), the launcher starts
    // again without them, with the arguments asGiven, and no launch is lost
    // to the cache. From here on the cache's part of the end runs however the
    // VM ends normally (System.exit, Runtime.halt, main's return).
    void vmStarting(const std::vector<std::string>& asGiven);

    // The VM's creation returned a failure with the plan's options: the
    // launcher starts again without them where the system allows (POSIX; it
    // does not return then).
    void vmRefused();

    // After the VM was created: a fresh archive the VM did not map (Java 17
    // and 18, whose log lines are known) is removed; refused twice, it is not
    // written again for these inputs.
    void vmStarted();

    // The VM ended normally: what it wrote gets its name and this launch's
    // mark goes. Nothing but system calls on names prepared before the VM
    // started: it also runs as the process exits (System.exit, Runtime.halt,
    // after the VM's own exit work) while other threads stand anywhere. A
    // crash runs nothing of this: what it leaves tells the next launch.
    void vmEnded();

private:
    static void endOfProcess();

    std::unique_ptr<CacheRun> run_;
    SharingPlan plan_;
};

// When this launch is the new start of one whose VM refused the cache's
// options: the cache it refused (the variable that says so is removed, so
// that nothing the game starts sees it); nothing otherwise. Asked once, first
// thing.
std::optional<std::string> cacheRefusedByAnEarlierStart();

// The plan of a launch whose VM refused the cache's options at the start
// before: none, and the line that says so; the cache's memo notes it, so that
// the next launches leave it alone for a while.
SharingPlan withoutRefusedCache(const std::string& cache);

// The room a new archive may need: its bound for a class path of
// classPathBytes. Measured on HotSpot 17: an archive holds about 4 bytes per
// byte of the jars whose classes it holds, and up to 41 MB for the runtime's
// own classes that its default archive lacks (6,000 of them).
std::uint64_t archiveRoomNeeded(std::uint64_t classPathBytes);

// The sum of the sizes of the class path's files.
std::uint64_t classPathBytes(const std::vector<std::string>& classPath);

}  // namespace tessvik
