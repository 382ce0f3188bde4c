#include "cache_decision.h"

#include <algorithm>

#include "starts_with.h"

namespace tessvik {

namespace {

constexpr int firstArchiveVersion = 13;   // -XX:ArchiveClassesAtExit
constexpr int firstAotCacheVersion = 25;  // -XX:AOTMode with method profiles

// -XX: options that choose sharing, or that HotSpot refuses beside the
// options the launcher adds (a dynamic archive needs the base archive mapped,
// which compressed class pointers off prevent on the runtimes that have it).
constexpr const char* sharingOptionNames[] = {
    "UseSharedSpaces",         "SharedArchiveFile",       "ArchiveClassesAtExit",
    "AutoCreateSharedArchive", "RecordDynamicDumpInfo",   "DumpLoadedClassList",
    "SharedClassListFile",     "DynamicDumpSharedSpaces", "DumpSharedSpaces",
    "SharedBaseAddress",       "ArchiveRelocationMode",   "CDSPreimage",
};

bool choosesSharing(const std::string& option) {
    if (startsWith(option, "-Xshare")) return true;
    if (option == "-XX:-UseCompressedClassPointers") return true;
    const std::string name = xxOptionName(option);
    if (startsWith(name, "AOT")) return true;
    return std::find(std::begin(sharingOptionNames), std::end(sharingOptionNames), name) !=
           std::end(sharingOptionNames);
}

// Prefixes of the options the cache depends on.
constexpr const char* cacheDecidingPrefixes[] = {
    "-Djava.class.path=",
    "-Djdk.module.",
    "--add-",
    "--limit-modules",
    "--module-path",
    "--upgrade-module-path",
    "--patch-module",
    "--enable-preview",
    "-Xmx",
    "-Xms",
    "-Xmn",
};
// -XX: names the cache depends on.
constexpr const char* cacheDecidingNames[] = {
    "UseSerialGC",
    "UseParallelGC",
    "UseG1GC",
    "UseZGC",
    "UseShenandoahGC",
    "UseEpsilonGC",
    "ZGenerational",
    "MaxHeapSize",
    "InitialHeapSize",
    "MinHeapSize",
    "NewSize",
    "MaxNewSize",
    "UseCompressedOops",
    "UseCompressedClassPointers",
    "UseCompactObjectHeaders",
    "ObjectAlignmentInBytes",
    "CompressedClassSpaceSize",
    "HeapBaseMinAddress",
    "UnlockExperimentalVMOptions",
    "UnlockDiagnosticVMOptions",
    "EnableJVMCI",
    "UseLargePages",
    "G1HeapRegionSize",
};

// The module a left-out option adds to the VM's module graph, or "": the
// cache is checked against the graph, so the background VMs add the module
// in the option's place.
const char* moduleAddedBy(const std::string& option) {
    if (startsWith(option, "-javaagent:")) return "java.instrument";
    if (startsWith(option, "-agentlib:jdwp")) return "jdk.jdwp.agent";
    const std::string name = xxOptionName(option);
    if (name == "StartFlightRecording" || name == "FlightRecorderOptions") return "jdk.jfr";
    return "";
}

bool decidesCache(const std::string& option) {
    for (const char* prefix : cacheDecidingPrefixes) {
        if (startsWith(option, prefix)) return true;
    }
    const std::string name = xxOptionName(option);
    return std::find(std::begin(cacheDecidingNames), std::end(cacheDecidingNames), name) !=
           std::end(cacheDecidingNames);
}

}  // namespace

CacheKind cacheKindFor(std::optional<int> runtimeVersion) {
    if (!runtimeVersion || *runtimeVersion < firstArchiveVersion) return CacheKind::none;
    return *runtimeVersion < firstAotCacheVersion ? CacheKind::archive : CacheKind::aotCache;
}

std::optional<GivenVmOption> optionChoosingSharing(const std::vector<GivenVmOption>& options) {
    for (const GivenVmOption& option : options) {
        if (choosesSharing(option.text)) return option;
    }
    return std::nullopt;
}

std::vector<std::string> backgroundOptions(const std::vector<std::string>& vmOptions) {
    std::vector<std::string> kept;
    for (const std::string& option : vmOptions) {
        const std::string module = moduleAddedBy(option);
        if (decidesCache(option)) {
            kept.push_back(option);
        } else if (!module.empty()) {
            kept.push_back("--add-modules=" + module);
        }
    }
    return kept;
}

EntryDecision decideEntry(const EntryFacts& facts) {
    EntryDecision decision;
    if (facts.cacheExists) {
        std::string fault;
        if (facts.crashedInUse) {
            fault = "a launch that used it crashed";
        } else if (facts.integrity == Integrity::damaged) {
            fault = "it changed since it was written";
        } else if (facts.integrity == Integrity::unrecorded && !facts.wholeAtFirstSight) {
            fault = "it is incomplete or of another VM";
        }
        if (fault.empty()) {
            decision.step = CacheStep::use;
            decision.recordNow = facts.integrity == Integrity::unrecorded;
            return decision;
        }
        decision.discard = true;
        decision.why = fault;
    }
    if (facts.memo.final) {
        decision.step = CacheStep::off;
        decision.why = "the VM refused it (" + facts.memo.reason + ")";
    } else if (facts.memo.failures > 0 && facts.memo.launchesToWait > 0) {
        decision.step = CacheStep::off;
        decision.waitOneLaunch = true;
        decision.why = "writing it failed (" + facts.memo.reason + "); it is tried again once " +
                       std::to_string(facts.memo.launchesToWait) +
                       " more launches have run without it";
    } else if (!facts.roomShortfall.empty()) {
        decision.step = CacheStep::off;
        decision.why = facts.roomShortfall;
    } else {
        decision.step = CacheStep::write;
    }
    return decision;
}

}  // namespace tessvik
