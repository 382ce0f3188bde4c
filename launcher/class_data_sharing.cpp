#include "class_data_sharing.h"

#include <cstdint>
#include <memory>
#include <set>

#include "aot_cache.h"
#include "cache_file_guard.h"
#include "class_data_archive.h"
#include "game_folder.h"
#include "java_launcher.h"
#include "messages.h"
#include "platform/platform.h"
#include "vm_lifecycle_hooks.h"
#include "vm_options.h"

namespace {

constexpr int firstDynamicArchiveVersion = 13;  // -XX:ArchiveClassesAtExit
constexpr int firstAutoArchiveVersion = 19;     // -XX:+AutoCreateSharedArchive
constexpr int firstMapLogVersion = 17;          // whose log lines on mapping are known
// The runtime's default archive, beside its VM library; a dynamic archive
// extends it and is useless without it.
constexpr const char* baseArchiveName = "classes.jsa";
constexpr const char* archivePrefix = "classes-";
constexpr const char* archiveSuffix = ".jsa";
constexpr const char* mapLogSuffix = ".log";
constexpr const char* notAvailable = "Class data sharing is not available for this runtime";

// True when a class file lies anywhere below directory. The VM refuses to
// write an archive, and ends the process with status 1, when it loaded a
// class from a directory that is not empty.
bool holdsClassFiles(const std::string& directory) {
    std::vector<std::string> pending{directory};
    std::set<std::string> seen;
    while (!pending.empty()) {
        const std::string current = pending.back();
        pending.pop_back();
        std::vector<platform::DirectoryEntry> entries;
        std::string identity;
        if (!platform::listDirectory(current, "*.*", entries, &identity)) continue;
        if (!identity.empty() && !seen.insert(identity).second) continue;  // a link met again
        for (const platform::DirectoryEntry& entry : entries) {
            if (entry.name == "." || entry.name == "..") continue;
            if (entry.isDirectory) {
                pending.push_back(platform::joinPath(current, entry.name));
            } else if (platform::matchesWildcard("*.class", entry.name)) {
                return true;
            }
        }
    }
    return false;
}

SharingPlan off(const std::string& reason) { return {{}, "Class data sharing is off: " + reason}; }

// The first directory of the class path that holds class files, or "".
std::string directoryWithClassFiles(const std::vector<std::string>& classPath) {
    for (const std::string& entry : classPath) {
        if (platform::fileStatus(entry).isDirectory && holdsClassFiles(entry)) return entry;
    }
    return {};
}

// Everything the archive depends on, as text: the VM library and its default
// archive, every class path entry, every other VM option.
std::string archiveIdentity(const std::string& library, const std::string& baseArchive,
                            const SharingInput& input) {
    std::string identity = inputStamp(library) + inputStamp(baseArchive);
    for (const std::string& entry : input.classPath) identity += inputStamp(entry);
    for (const std::string& option : input.vmOptions) identity += option + '\n';
    return identity;
}

// Makes the directory and the two above it, as far as they are missing.
bool makeArchiveDirectory(const std::string& directory) {
    const std::string folder = platform::directoryOf(directory);
    for (const std::string& each : {platform::directoryOf(folder), folder, directory}) {
        if (!platform::makeDirectory(each)) return false;
    }
    return true;
}

// A size in whole KiB below a MiB, else in whole MiB.
std::string sizeText(std::uint64_t bytes) {
    if (bytes < (1u << 20)) return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes >> 20) + " MiB";
}

// Why an existing archive must go, or "" when it may be used: it must be
// whole, of this runtime's VM, the bytes recorded when the launcher first
// saw it whole, and not in use when a launch ended abnormally.
std::string faultOf(const std::string& archive, const std::string& baseArchive,
                    bool endedAbnormally) {
    if (endedAbnormally) return "a launch that used it ended abnormally";
    if (!isCompleteDynamicArchive(archive, baseArchive)) return "incomplete or of another VM";
    switch (checkIntegrity(archive)) {
        case Integrity::intact: return {};
        case Integrity::damaged: return "changed since it was written";
        // Written by a launch that could not record it: seen whole now.
        case Integrity::unrecorded: recordIntegrity(archive); return {};
    }
    return {};
}

// The VM logs what it maps where the launcher can read it (Java 17 and 18,
// whose lines are known): a quoted file name, since the log option is split
// at colons, and no rotation of older logs.
std::string mapLogOption(const std::string& log) {
    return "-Xlog:cds=info,cds+dynamic=info:file=\"" + log + "\":none:filecount=0";
}

// Marks the archive as in use until the VM ends, and has the VM's end say
// what became of it.
void beginArchiveUse(const SharingPlan& plan) {
    if (plan.archive.empty()) return;
    auto use = std::make_shared<CacheUse>(CacheUse::begin(plan.archive));
    const std::string stampBefore = inputStamp(plan.archive);
    onVmEnd([plan, use, stampBefore](const VmEnd& end) {
        use->end();
        // A VM that never started wrote nothing.
        if (!end.started) return;
        // An archive the VM did not touch keeps its record.
        if (end.completed && platform::isRegularFile(plan.archive) &&
            inputStamp(plan.archive) == stampBefore) {
            return;
        }
        archiveAfterRun(plan, end.completed);
    });
}

SharingPlan planFor(int runtimeVersion, const std::string& archive, bool usable) {
    SharingPlan plan;
    plan.message = std::string("Class data sharing: ") + (usable ? "using " : "writing ") + archive;
    plan.archive = archive;
    plan.writes = !usable || runtimeVersion >= firstAutoArchiveVersion;
    if (runtimeVersion >= firstAutoArchiveVersion) {
        plan.options = {"-XX:+AutoCreateSharedArchive", "-XX:SharedArchiveFile=" + archive};
    } else if (usable && runtimeVersion >= firstMapLogVersion) {
        plan.mapLog = archive + mapLogSuffix;
        plan.options = {mapLogOption(plan.mapLog), "-XX:SharedArchiveFile=" + archive};
    } else if (usable) {
        plan.options = {"-XX:SharedArchiveFile=" + archive};
    } else {
        plan.options = {"-XX:ArchiveClassesAtExit=" + archive};
    }
    return plan;
}

}  // namespace

SharingPlan planClassDataSharing(const SharingInput& input) {
    if (!input.runtimeVersion || *input.runtimeVersion < firstDynamicArchiveVersion) {
        return {{}, notAvailable};
    }
    const std::string library = platform::resolvedPath(input.runtimeLibrary);
    const std::string baseArchive =
        platform::joinPath(platform::directoryOf(library), baseArchiveName);
    if (!platform::isRegularFile(baseArchive)) {
        return {{}, std::string(notAvailable) + " (no " + baseArchive + ")"};
    }
    const std::string classDirectory = directoryWithClassFiles(input.classPath);
    if (!classDirectory.empty()) {
        return off(classDirectory + " on the class path holds class files");
    }

    if (input.cacheDirectory.empty()) return off("no user cache directory");
    const std::string directory = gameFolderIn(input.cacheDirectory, input.gameDirectory);
    // The VM reads a list of archives from the option, split at the class
    // path separator.
    if (directory.find(platform::classPathSeparator) != std::string::npos) {
        return off(directory + " contains '" + std::string(1, platform::classPathSeparator) + "'");
    }
    if (!makeArchiveDirectory(directory) || !platform::canCreateFilesIn(directory)) {
        return off("cannot write to " + directory);
    }
    // The room left where the cache is written, now that its directory is there.
    SharingInput inputs = input;
    if (!inputs.cacheFreeBytes) inputs.cacheFreeBytes = platform::freeSpace(directory);
    // Java 25 and later keep an ahead-of-time cache instead of the archive.
    if (*input.runtimeVersion >= firstAotCacheVersion) {
        return planAotCache(inputs, directory, library);
    }
    const std::string name =
        archivePrefix + digestOf(archiveIdentity(library, baseArchive, input)) + archiveSuffix;
    const std::string archive = platform::joinPath(directory, name);
    removeOtherCaches(directory, archivePrefix, name);
    if (failedBefore(archive)) return off("writing " + archive + " failed before");

    // Marks of crashed launches go whether or not their archive is there.
    const bool endedAbnormally = endedAbnormallyInUse(archive);
    const bool exists = platform::fileStatus(archive).exists;
    const std::string fault =
        exists ? faultOf(archive, baseArchive, endedAbnormally) : std::string();
    const bool usable = exists && fault.empty();
    // A damaged archive, or one of another VM, is written anew: Java 17 would
    // map a damaged one and crash, and Java 19 and later keep one of an
    // older archive version without replacing it.
    if (exists && !usable && !discardCache(archive)) {
        return off("cannot replace " + archive + " (" + fault + ")");
    }
    // A write that fails for want of room ends the VM with status 1.
    const std::uint64_t needed = archiveRoomNeeded(classPathBytes(input.classPath));
    const std::optional<std::uint64_t> free = inputs.cacheFreeBytes;
    if (!usable && free && *free < needed) {
        return off(directory + " has " + sizeText(*free) + " free, an archive may need " +
                   sizeText(needed));
    }
    return planFor(*input.runtimeVersion, archive, usable);
}

std::uint64_t archiveRoomNeeded(std::uint64_t classPathBytes) {
    return (std::uint64_t(48) << 20) + classPathBytes * 9 / 2;
}

SharingPlan classDataSharingPlan(const JavaLauncher& launcher, const std::string& classPathOption) {
    SharingInput input;
    input.runtimeVersion = launcher.runtimeVersion;
    input.runtimeLibrary = launcher.loadedRuntimePath;
    input.gameDirectory = launcher.workDir;
    input.classPath = launcher.classPath;
    for (const std::string& directory : launcher.extraClassPathDirs) {
        input.classPath.push_back(launcher.workDir + directory);
    }
    input.vmOptions =
        javaVmOptions(launcher.workDir, classPathOption, launcher.nativeLibDir, launcher.settings);
    input.cacheDirectory = platform::userCacheDirectory();
    SharingPlan plan = planClassDataSharing(input);
    writeOut(plan.message);
    beginArchiveUse(plan);
    startAssemblyAtExit(plan.assembly);
    return plan;
}

void checkArchiveMapped(const SharingPlan& plan) {
    if (plan.mapLog.empty()) return;
    const std::string log =
        platform::readFile(plan.mapLog, std::uint64_t(1) << 20, platform::OverLimit::cut).bytes;
    if (log.find("Mapped dynamic region") != std::string::npos &&
        log.find("Unable to") == std::string::npos) {
        return;
    }
    writeOut("Class data sharing: the VM did not map " + plan.archive +
             "; it is written anew at the next launch");
    // Once more is enough: an archive that the VM refuses right after it
    // wrote it would only be written again and again.
    if (noteRefusal(plan.archive)) recordFailure(plan.archive, "the VM did not map it, twice");
    discardCache(plan.archive);
}

void archiveAfterRun(const SharingPlan& plan, bool completed) {
    if (!plan.writes) return;
    // The VM removes what it wrote when writing fails; one that aborted while
    // it wrote may have left part of it.
    if (!completed || !platform::isRegularFile(plan.archive)) {
        recordFailure(plan.archive, "the VM wrote none");
        discardCache(plan.archive);
    } else {
        // The first time the launcher sees the archive whole; the header
        // check before every use still refuses one the VM left cut short.
        recordIntegrity(plan.archive);
    }
}

std::uint64_t classPathBytes(const std::vector<std::string>& classPath) {
    std::uint64_t bytes = 0;
    for (const std::string& entry : classPath) {
        const platform::FileStatus status = platform::fileStatus(entry);
        if (status.exists && !status.isDirectory) bytes += status.size;
    }
    return bytes;
}
