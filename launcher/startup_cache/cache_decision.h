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

// The first of the game's options (any source) that chooses class-data
// sharing itself or that HotSpot refuses beside the launcher's cache options:
// with it the launch gets no cache options at all.
std::optional<GivenVmOption> optionChoosingSharing(const std::vector<GivenVmOption>& options);

// The options of the game's VM that an ahead-of-time cache depends on, for
// the VMs that assemble and try it after the game: the class and module
// path, the collector and heap layout, object and pointer sizes. Never an
// agent, and nothing that writes a file of the game's (logs, recordings, heap
// dumps, crash reports) or runs a command; in the place of an agent or a
// flight recording, the module it adds to the VM's module graph.
std::vector<std::string> backgroundOptions(const std::vector<std::string>& vmOptions);

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
