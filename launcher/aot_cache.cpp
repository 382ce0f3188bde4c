#include "aot_cache.h"

#include <cstdint>
#include <cstdlib>

#include "aot_assembly.h"
#include "cache_file_guard.h"
#include "runtime_release.h"
#include "vm_lifecycle_hooks.h"

namespace {

constexpr const char* filePrefix = "classes-";
// Options by which the client's VM options choose class-data sharing for
// themselves: with any of them the VM refuses to record, and a refusal at VM
// creation ends the process.
constexpr const char* sharingOptionPrefixes[] = {
    "-Xshare",
    "-XX:SharedArchiveFile",
    "-XX:ArchiveClassesAtExit",
    "-XX:AOT",
    "-XX:+AutoCreateSharedArchive",
    "-XX:SharedClassListFile",
    "-XX:DumpLoadedClassList",
    "-XX:-UseSharedSpaces",
    "-XX:+UseSharedSpaces",
};
// Variables whose options every VM of the machine takes as if given first.
constexpr const char* optionVariables[] = {"JAVA_TOOL_OPTIONS", "_JAVA_OPTIONS"};

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// True when a directory entry of the class path holds anything.
bool holdsFiles(const std::string& directory) {
    std::vector<platform::DirectoryEntry> entries;
    platform::listDirectory(directory, "*.*", entries);
    for (const platform::DirectoryEntry& entry : entries) {
        if (entry.name != "." && entry.name != "..") return true;
    }
    return false;
}

// The first directory of the class path that holds anything, or "". HotSpot
// refuses to assemble a cache, and to use one, while a directory on the class
// path is not empty, whatever it holds.
std::string directoryWithFiles(const std::vector<std::string>& classPath) {
    for (const std::string& entry : classPath) {
        if (platform::fileStatus(entry).isDirectory && holdsFiles(entry)) return entry;
    }
    return {};
}

// Directories count by whether they exist: one that holds files turns the
// cache off.
std::string classPathStamp(const std::string& entry) {
    const platform::FileStatus status = platform::fileStatus(entry);
    if (status.isDirectory) return entry + "\nempty directory\n";
    return inputStamp(entry);
}

// The option that chooses sharing by itself, or "".
std::string sharingOptionIn(const std::vector<std::string>& options) {
    for (const std::string& option : options) {
        for (const char* prefix : sharingOptionPrefixes) {
            if (startsWith(option, prefix)) return option;
        }
    }
    return {};
}

bool anyHoldsNewline(const std::vector<std::string>& options) {
    for (const std::string& option : options) {
        if (option.find('\n') != std::string::npos) return true;
    }
    return false;
}

// The runtime's own java program, in the bin directory beside its release
// file, or "".
std::string javaProgramOf(const std::string& releaseFile) {
    if (releaseFile.empty()) return {};
    const std::string program = platform::joinPath(
        platform::joinPath(platform::directoryOf(releaseFile), "bin"), platform::javaProgramName);
    return platform::isRegularFile(program) ? program : std::string();
}

constexpr const char* stillAssembling = "its assembly is finishing";

SharingPlan assembling(const AotCacheFiles& files) {
    SharingPlan plan;
    plan.message = "Class data sharing: assembling " + files.cache;
    return plan;
}

// Why an existing cache must go, or "" when it may be used: the bytes
// recorded when it was assembled, and no launch that used it ended abnormally.
std::string faultOf(const AotCacheFiles& files) {
    if (endedAbnormallyInUse(files.cache)) return "a launch that used it ended abnormally";
    switch (checkIntegrity(files.cache)) {
        case Integrity::intact: return {};
        case Integrity::damaged: return "changed since it was assembled";
        case Integrity::unrecorded: break;
    }
    // Only a whole cache is renamed into place, and its assembly records it
    // next, holding the lock: a free lock means that assembly ended between
    // the two, and the cache is recorded now.
    const platform::FileLock lock = platform::FileLock::tryAcquire(files.lock);
    if (lock.held() && recordIntegrity(files.cache)) return {};
    return lock.held() ? "it cannot be read" : stillAssembling;
}

SharingPlan off(const std::string& reason) {
    SharingPlan plan;
    plan.message = "Class data sharing is off: " + reason;
    return plan;
}

}  // namespace

AotCacheFiles aotCacheFiles(const std::string& directory, const std::string& name) {
    const std::string cache = platform::joinPath(directory, name);
    return {cache, cache + ".part", cache + ".aotconf", cache + ".lock", cache + ".request"};
}

std::string aotCacheIdentity(const SharingInput& input, const std::string& library) {
    const std::string release = runtimeReleaseFile(library);
    const std::string home = platform::directoryOf(release);
    std::string identity =
        inputStamp(release) + inputStamp(library) +
        inputStamp(platform::joinPath(platform::joinPath(home, "lib"), "modules"));
    for (const std::string& entry : input.classPath) identity += classPathStamp(entry);
    for (const std::string& option : input.vmOptions) identity += option + '\n';
    for (const char* variable : optionVariables) {
        const char* value = std::getenv(variable);
        identity += std::string(variable) + '=' + (value ? value : "") + '\n';
    }
    return identity + platform::machineFacts() + '\n';
}

std::uint64_t aotCacheRoomNeeded(std::uint64_t classPathBytes) {
    // The configuration and the cache lie side by side until the cache is whole.
    return 2 * archiveRoomNeeded(classPathBytes);
}

SharingPlan planAotCache(const SharingInput& input, const std::string& directory,
                         const std::string& library) {
    const std::string chosen = sharingOptionIn(input.vmOptions);
    if (!chosen.empty()) return off("the VM options choose it themselves (" + chosen + ")");
    const std::string filled = directoryWithFiles(input.classPath);
    if (!filled.empty()) return off(filled + " on the class path is not empty");
    // The assembly's request holds one path or option a line.
    if (anyHoldsNewline(input.vmOptions) || anyHoldsNewline({library, directory})) {
        return off("a VM option or a path holds a line break");
    }

    const std::string name = filePrefix + digestOf(aotCacheIdentity(input, library)) + ".aot";
    const AotCacheFiles files = aotCacheFiles(directory, name);
    removeOtherCaches(directory, filePrefix, name);
    if (failedBefore(files.cache)) return off("assembling " + files.cache + " failed before");

    if (platform::isRegularFile(files.cache)) {
        const std::string fault = faultOf(files);
        if (fault == stillAssembling) return assembling(files);
        if (fault.empty()) {
            SharingPlan plan;
            plan.options = {"-XX:AOTMode=auto", "-XX:AOTCache=" + files.cache};
            plan.message = "Class data sharing: using " + files.cache;
            // Marked as in use while the VM runs: a crash discards it.
            plan.archive = files.cache;
            return plan;
        }
        if (!discardCache(files.cache))
            return off("cannot replace " + files.cache + " (" + fault + ")");
    }
    const std::uint64_t needed = aotCacheRoomNeeded(classPathBytes(input.classPath));
    if (input.cacheFreeBytes && *input.cacheFreeBytes < needed) {
        return off(directory + " has " + std::to_string(*input.cacheFreeBytes >> 20) +
                   " MiB free, a cache may need " + std::to_string(needed >> 20) + " MiB");
    }
    platform::FileLock lock = platform::FileLock::tryAcquire(files.lock);
    if (!lock.held()) return assembling(files);
    // Left by a launch or an assembly that did not finish.
    for (const std::string* left : {&files.configuration, &files.partial, &files.request}) {
        platform::removeFile(*left);
    }

    auto assembly = std::make_shared<PendingAssembly>();
    assembly->request = {library, javaProgramOf(runtimeReleaseFile(library)), input.vmOptions,
                         files};
    assembly->lock = std::move(lock);
    SharingPlan plan;
    plan.options = {"-XX:AOTMode=record", "-XX:AOTConfiguration=" + files.configuration};
    plan.message = "Class data sharing: recording " + files.cache;
    plan.assembly = std::move(assembly);
    return plan;
}

void startAssemblyAtExit(std::shared_ptr<PendingAssembly> assembly) {
    if (!assembly) return;
    onVmEnd([assembly](const VmEnd& end) {
        const AssemblyRequest& request = assembly->request;
        // Nothing recorded. A record the VM failed to finish fails to
        // assemble, and is recorded again.
        if (!end.started || platform::fileStatus(request.files.configuration).size == 0) {
            platform::removeFile(request.files.configuration);
            assembly->lock.release();
            return;
        }
        // The assembly takes the lock itself; a launch that takes it in
        // between records anew, and this assembly then leaves the work to it.
        assembly->lock.release();
        startAssembly(request);
    });
}
