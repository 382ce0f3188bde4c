// What keeps a cache file of the launcher's (an archive or a cache that the
// Java VM maps at start) from ever stopping a launch. Each guarantee is a
// companion file beside the cache, named for it, so a cache and everything
// said about it go together when its inputs change:
//
//   <cache>.sum        its size and checksum, recorded once the cache is whole
//   <cache>.in-use-*   one per launch whose VM has the cache, locked while it runs
//   <cache>.failed     why writing it failed; no attempt is made again
//   <cache>.refused    the VM was given the cache and did not map it
//
// A cache's name carries a digest of everything it depends on (inputStamp
// for each file), so changed inputs give a new name, and with it a new start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "digest.h"
#include "platform/platform.h"

// A file as a cache depends on it: its path, size and last write, and what a
// copy or a replacement cannot keep (which file it is, when its entry last
// changed); "missing" or "directory" instead where it is not a file.
std::string inputStamp(const std::string& path);

// --- Integrity ------------------------------------------------------------------

// Records the cache's size and checksum as it is now. False when it cannot be
// read or the record cannot be written.
bool recordIntegrity(const std::string& cache);

enum class Integrity {
    intact,      // the bytes are those recorded
    damaged,     // changed since, cut, unreadable, or the record is
    unrecorded,  // no record: the cache was never seen whole
};

// Reads the whole cache and compares it with its record.
Integrity checkIntegrity(const std::string& cache);

// --- Use by a launch ------------------------------------------------------------

// This launch's mark on a cache its VM maps or writes: a locked file that
// ends() removes when the VM ended normally. A launch that crashes leaves it
// behind, unlocked, which tells the next launch not to trust the cache.
class CacheUse {
public:
    CacheUse() = default;
    // Marks the cache as used by this launch; no mark when none can be made
    // (the launch goes on).
    static CacheUse begin(const std::string& cache);
    // The VM ended normally: the mark goes.
    void end();
    bool marked() const { return lock_.held(); }

private:
    std::string marker_;
    platform::FileLock lock_;
};

// True when a launch that used the cache ended abnormally: a mark that no
// running launch holds. Such marks are removed; those of launches still
// running stay.
bool endedAbnormallyInUse(const std::string& cache);

// --- Failures -------------------------------------------------------------------

// Notes that writing the cache failed: no further attempt for these inputs.
void recordFailure(const std::string& cache, const std::string& reason);
bool failedBefore(const std::string& cache);

// Notes that the VM refused the cache it was given (<cache>.refused). True
// when it had refused it before, for the same inputs.
bool noteRefusal(const std::string& cache);

// --- Room and removal -----------------------------------------------------------
//
// Room: platform::freeSpace(directory) against a bound of the cache's own.

// Removes the cache and its integrity record. True when the cache is gone.
bool discardCache(const std::string& cache);

// Removes every file of directory whose name begins with prefix, except the
// cache named keep and its companions: the caches of earlier inputs. One
// still held open by a running launch on Windows stays until a later launch.
void removeOtherCaches(const std::string& directory, const std::string& prefix,
                       const std::string& keep);
