// One entry of the start-up cache: the file the VM maps (a class-data archive
// or an ahead-of-time cache) and its companions, named for it, so that an
// entry and everything said about it go together when its inputs change:
//
//   <cache>             only ever made whole, by a rename
//   <cache>.lock        held by the launch or assembly that writes the entry
//   <cache>.part-<t>    what the VM writes, renamed into place when it ended well
//   <cache>.in-use-<t>  one per launch whose VM maps the cache, locked while it runs
//   <cache>.sum         the cache's size, change times and file number, recorded
//                       when it is first seen whole
//   <cache>.failed      the failure memo: when writing may be tried again
//   <cache>.refused     the VM refused the fresh cache once
//   <cache>.aotconf, <cache>.request   an ahead-of-time cache's recording and
//                       its assembly's request
//
// Every small file is written atomically (writeFileAtomically): no link is
// followed and no reader sees half of one.
#pragma once

#include <string>
#include <vector>

#include "failure_memo.h"
#include "platform/directories.h"
#include "platform/files.h"
#include "platform/locks.h"
#include "platform/paths.h"

namespace tessvik {

struct CacheEntry {
    std::string cache;

    std::string lock() const { return cache + ".lock"; }
    std::string record() const { return cache + ".sum"; }
    std::string memo() const { return cache + ".failed"; }
    std::string refusal() const { return cache + ".refused"; }
    std::string configuration() const { return cache + ".aotconf"; }
    std::string configurationPart() const { return cache + ".aotconf.part"; }
    std::string request() const { return cache + ".request"; }
    std::string part(const std::string& token) const { return cache + ".part-" + token; }
    std::string mark(const std::string& token) const { return cache + ".in-use-" + token; }
    // Every file of the entry's folder whose name begins with the cache's and
    // a suffix (".part-"), with its full path.
    std::vector<std::string> filesNamed(const std::string& suffix) const;
};

// 128 random bits as hex digits: a name of a launch's own, and the assembly's
// proof that a request is its own.
std::string newToken();

// --- The integrity record -----------------------------------------------------

enum class Integrity {
    intact,      // the cache is the file recorded, unchanged since
    damaged,     // changed, replaced, or the record cannot be read
    unrecorded,  // never seen whole yet
};

// The file's size, last write, file number and last change: what any write,
// copy or replacement changes. Read with two stat calls, so that checking a
// cache costs a launch nothing it would notice.
std::string fileStamp(const std::string& path);
Integrity checkRecord(const CacheEntry& entry);
bool writeRecord(const CacheEntry& entry);

// --- The failure memo (failure_memo.h) on disk ----------------------------------

// The entry's memo as it stands; an empty one when there is none.
FailureMemo readMemo(const CacheEntry& entry);
// Replaces the entry's memo with memo: the one writer of the memo.
void writeMemo(const CacheEntry& entry, const FailureMemo& memo);
// Counts one more failed attempt at writing the entry in its memo; never to
// be retried when the VM itself refused the fresh cache.
void noteFailure(const CacheEntry& entry, const std::string& reason, Retry retry);

// --- Launches using the cache -------------------------------------------------

// A launch's mark on the cache its VM maps: a locked file. A normal end
// removes it while still holding it; a launch that crashed leaves it behind,
// unlocked, and the next launch then discards the cache.
class CacheUse {
public:
    static CacheUse begin(const CacheEntry& entry);
    const std::string& mark() const { return mark_; }
    bool marked() const { return lock_.held(); }

private:
    std::string mark_;
    platform::FileLock lock_;
};

// The marks of launches that used the cache and crashed: marks nobody holds.
// Those of running launches, and those their launch removed while ending,
// are none of them. They stay until the cache they speak of is gone.
std::vector<std::string> crashedUses(const CacheEntry& entry);

// Removes the files of the other entries in the entry's folder (earlier
// inputs), except those a launch or an assembly still holds.
void removeOtherEntries(const CacheEntry& keep);

}  // namespace tessvik
