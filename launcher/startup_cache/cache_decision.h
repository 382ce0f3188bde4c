// What the start-up cache does at a launch, decided from what the launch
// found, without touching a file: the tests state each case as facts.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cache_entry.h"
#include "failure_memo.h"
#include "vm_option_sources.h"

namespace tessvik {

// The kinds of cache by runtime: none before Java 13; the dynamic class-data
// archive, written by the client's own VM as it ends, from 13 to 24; the
// ahead-of-time cache, recorded by the client's VM and assembled after it,
// from 25.
enum class CacheKind { none, archive, aotCache };
CacheKind cacheKindFor(std::optional<int> runtimeVersion);

// An option of the game's that keeps this launch from the cache, and why.
struct CacheStopper {
    GivenVmOption option;
    std::string why;  // "chooses sharing itself", ...
};

// The first of the game's options (any source) that keeps this launch from
// the cache: one that chooses class-data sharing itself, one seen to stop the
// VM beside the cache's options, or any other not on the list of those the
// cache is known to work with. With it the launch gets no cache options.
std::optional<CacheStopper> optionKeepingCacheOff(const std::vector<GivenVmOption>& options,
                                                  CacheKind kind);

// The options of the game's VM, in the VM's order, that an ahead-of-time
// cache depends on, for the VMs that assemble and try it after the game: the
// class path and module access, the collector and heap layout, object and
// pointer sizes, and what decides the VM's own choices (the processors and
// memory it sees). Nothing that writes a file of the game's (logs, heap
// dumps, crash reports) or runs a command, nor an agent: in the place of an
// agent or a flight recording, the module it adds to the VM's module graph.
// Nothing the runtime image gives (the VM applies it by itself).
std::vector<std::string> backgroundOptions(const std::vector<GivenVmOption>& options);

// --- An entry -------------------------------------------------------------------

struct EntryFacts {
    bool cacheExists = false;
    Integrity integrity = Integrity::unrecorded;
    bool wholeAtFirstSight = true;  // an unrecorded archive's header is whole
    bool crashedInUse = false;      // a launch that mapped it crashed
    FailureMemo memo;
    std::string roomShortfall;  // "" when a new cache has room, else why not
};

enum class CacheStep {
    use,    // map the cache
    write,  // write or record it, holding the entry's lock
    off,    // nothing this launch; why says
};

struct EntryDecision {
    CacheStep step = CacheStep::off;
    bool discard = false;        // the cache goes first, under the entry's lock
    bool recordNow = false;      // first sight of a whole cache: its record is written
    bool waitOneLaunch = false;  // the memo counts this launch
    std::string why;
};
EntryDecision decideEntry(const EntryFacts& facts);

}  // namespace tessvik
