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

bool listed(const std::string& name, const char* const* begin, const char* const* end) {
    return std::find(begin, end, name) != end;
}

bool choosesSharing(const std::string& option) {
    if (startsWith(option, "-Xshare")) return true;
    if (option == "-XX:-UseCompressedClassPointers") return true;
    const std::string name = xxOptionName(option);
    if (startsWith(name, "AOT")) return true;
    return listed(name, std::begin(sharingOptionNames), std::end(sharingOptionNames));
}

// The options the cache is known to work with: each runs in the differential
// suite with the cache on Java 17 and 25, on a first and a cached launch, and
// ends as under java. Properties, heap and stack sizes, assertions, logging
// (to files too: the game's own), JNI checks, module access.
// clang-format off
constexpr const char* workingPrefixes[] = {
    "-D", "-Xmx", "-Xms", "-Xmn", "-Xss", "-ea", "-da", "-esa", "-dsa", "-enableassertions",
    "-disableassertions", "-enablesystemassertions", "-disablesystemassertions", "-Xlog",
    "-verbose:", "-Xcheck:jni", "-Xrs", "-Xint", "--add-opens", "--add-exports", "--add-reads",
    "--add-modules", "--enable-native-access",
};
// clang-format on
// The -XX: options the cache is known to work with, tested as above: the
// collectors and their tuning, the sizes of the heap, metaspace and code
// cache, the compilers, what the machine offers the VM (processors, memory,
// pages), and what happens on an error.
// clang-format off
constexpr const char* workingNames[] = {
    "UseSerialGC", "UseParallelGC", "UseG1GC", "UseZGC", "ZGenerational", "UseShenandoahGC",
    "MaxGCPauseMillis", "G1HeapRegionSize", "ParallelGCThreads", "ConcGCThreads",
    "UseStringDeduplication", "DisableExplicitGC", "AlwaysPreTouch", "MaxHeapSize",
    "InitialHeapSize", "MinHeapSize", "NewSize", "MaxNewSize", "ThreadStackSize", "MetaspaceSize",
    "MaxMetaspaceSize", "ReservedCodeCacheSize", "MaxDirectMemorySize", "TieredStopAtLevel",
    "CICompilerCount", "UseCompressedOops", "ActiveProcessorCount", "MaxRAM", "MaxRAMPercentage",
    "InitialRAMPercentage", "MinRAMPercentage", "UseContainerSupport", "UseNUMA", "UseLargePages",
    "UseTransparentHugePages", "PerfDisableSharedMem", "UnlockExperimentalVMOptions",
    "UnlockDiagnosticVMOptions", "ShowCodeDetailsInExceptionMessages", "OmitStackTraceInFastThrow",
    "HeapDumpOnOutOfMemoryError", "HeapDumpPath", "ErrorFile", "OnError", "ReplayDataFile",
    "ErrorLogTimeout", "CreateCoredumpOnCrash",
};
// clang-format on
// What the ahead-of-time cache (Java 25) works with besides, tested alike:
// a Java agent, the debugger's agent, a flight recording, the VM's own log,
// another object alignment.
constexpr const char* aotWorkingPrefixes[] = {"-javaagent:", "-agentlib:jdwp"};
constexpr const char* aotWorkingNames[] = {"StartFlightRecording", "FlightRecorderOptions",
                                           "LogVMOutput", "LogFile", "ObjectAlignmentInBytes"};

// Options that end every launch with the cache on (an error at VM creation,
// at the archive's dump, or a crash): module graphs other than the image's
// and a boot class path on Java 17 and 25; agents and another object layout
// beside a dynamic archive (Java 13 to 24).
constexpr const char* stoppingPrefixes[] = {"-Xbootclasspath", "--limit-modules", "--patch-module",
                                            "--upgrade-module-path"};
constexpr const char* archiveStoppingPrefixes[] = {"-javaagent:", "-agentlib:", "-agentpath:"};
constexpr const char* archiveStoppingNames[] = {"ObjectAlignmentInBytes"};

bool startsWithAny(const std::string& option, const char* const* begin, const char* const* end) {
    return std::any_of(begin, end, [&](const char* prefix) { return startsWith(option, prefix); });
}

// Prefixes of the options the cache depends on, besides the -XX: ones the
// cache works with.
constexpr const char* cacheDecidingPrefixes[] = {
    "-Djava.class.path=",
    "-Djdk.module.",
    "--add-",
    "--enable-native-access",
    "-Xmx",
    "-Xms",
    "-Xmn",
    "-Xint",
};
// -XX: names that decide nothing of the cache: what happens on an error,
// and the VM's own diagnostics.
constexpr const char* notDecidingNames[] = {
    "HeapDumpOnOutOfMemoryError",
    "HeapDumpPath",
    "ErrorFile",
    "OnError",
    "ReplayDataFile",
    "ErrorLogTimeout",
    "CreateCoredumpOnCrash",
    "ShowCodeDetailsInExceptionMessages",
    "OmitStackTraceInFastThrow",
    "PerfDisableSharedMem",
};

// The module an agent or a flight recording adds to the VM's module graph, or
// "": the cache is checked against the graph, so the background VMs add the
// module in the option's place.
const char* moduleAddedBy(const std::string& option) {
    if (startsWith(option, "-javaagent:")) return "java.instrument";
    if (startsWith(option, "-agentlib:jdwp")) return "jdk.jdwp.agent";
    const std::string name = xxOptionName(option);
    if (name == "StartFlightRecording" || name == "FlightRecorderOptions") return "jdk.jfr";
    return "";
}

bool decidesCache(const std::string& option) {
    if (startsWithAny(option, std::begin(cacheDecidingPrefixes), std::end(cacheDecidingPrefixes))) {
        return true;
    }
    const std::string name = xxOptionName(option);
    return listed(name, std::begin(workingNames), std::end(workingNames)) &&
           !listed(name, std::begin(notDecidingNames), std::end(notDecidingNames));
}

}  // namespace

CacheKind cacheKindFor(std::optional<int> runtimeVersion) {
    if (!runtimeVersion || *runtimeVersion < firstArchiveVersion) return CacheKind::none;
    return *runtimeVersion < firstAotCacheVersion ? CacheKind::archive : CacheKind::aotCache;
}

std::optional<CacheStopper> optionKeepingCacheOff(const std::vector<GivenVmOption>& options,
                                                  CacheKind kind) {
    const bool aot = kind == CacheKind::aotCache;
    for (const GivenVmOption& option : options) {
        if (option.origin == OptionOrigin::launcher) continue;
        const std::string& text = option.text;
        const std::string name = xxOptionName(text);
        if (choosesSharing(text)) return CacheStopper{option, "chooses sharing itself"};
        const bool worksWithAot =
            startsWithAny(text, std::begin(aotWorkingPrefixes), std::end(aotWorkingPrefixes)) ||
            listed(name, std::begin(aotWorkingNames), std::end(aotWorkingNames));
        if (aot && worksWithAot) continue;
        const bool stops =
            startsWithAny(text, std::begin(stoppingPrefixes), std::end(stoppingPrefixes)) ||
            (!aot &&
             (startsWithAny(text, std::begin(archiveStoppingPrefixes),
                            std::end(archiveStoppingPrefixes)) ||
              listed(name, std::begin(archiveStoppingNames), std::end(archiveStoppingNames))));
        if (stops) return CacheStopper{option, "stops the VM beside the cache's options"};
        const bool works =
            name.empty()
                ? startsWithAny(text, std::begin(workingPrefixes), std::end(workingPrefixes))
                : listed(name, std::begin(workingNames), std::end(workingNames));
        if (!works) return CacheStopper{option, "is not one the cache is known to work with"};
    }
    return std::nullopt;
}

std::vector<std::string> backgroundOptions(const std::vector<GivenVmOption>& options) {
    std::vector<std::string> kept;
    for (const GivenVmOption& option : options) {
        // The VM applies the runtime image's options by itself.
        if (option.origin == OptionOrigin::runtimeImage) continue;
        const std::string module = moduleAddedBy(option.text);
        if (decidesCache(option.text)) {
            kept.push_back(option.text);
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
