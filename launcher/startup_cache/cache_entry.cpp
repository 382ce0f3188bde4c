#include "cache_entry.h"

#include <map>
#include <random>

#include "digest.h"

namespace tessvik {

namespace {

constexpr std::uint64_t smallFile = 4096;
constexpr const char* startingSuffix = ".starting-";

// The entry a file of a cache folder belongs to: its name up to the second
// dot ("classes-<digest>.jsa" of "classes-<digest>.jsa.sum").
std::string entryNameOf(const std::string& file) {
    const std::size_t first = file.find('.');
    if (first == std::string::npos) return file;
    return file.substr(0, file.find('.', first + 1));
}

}  // namespace

std::vector<std::string> CacheEntry::filesNamed(const std::string& suffix) const {
    const std::string folder = platform::directoryOf(cache);
    std::vector<platform::DirectoryEntry> entries;
    platform::listDirectory(folder, platform::lastComponentOf(cache) + suffix + "*", entries);
    std::vector<std::string> files;
    for (const platform::DirectoryEntry& entry : entries) {
        if (!entry.isDirectory) files.push_back(platform::joinPath(folder, entry.name));
    }
    return files;
}

std::string newToken() {
    std::random_device random;
    return hexText((std::uint64_t(random()) << 32) ^ random()) +
           hexText((std::uint64_t(random()) << 32) ^ random());
}

std::string fileStamp(const std::string& path) {
    const platform::FileStatus status = platform::fileStatus(path);
    if (!status.exists() || status.isDirectory()) return {};
    const platform::FileIdentity identity = platform::fileIdentity(path);
    return std::to_string(status.size) + ' ' + std::to_string(status.modified) + ' ' +
           identity.file + ' ' + std::to_string(identity.changed) + '\n';
}

Integrity checkRecord(const CacheEntry& entry) {
    const platform::FileContent record = platform::readFile(entry.record(), smallFile);
    if (record.outcome == platform::FileReadOutcome::missing) return Integrity::unrecorded;
    if (record.outcome != platform::FileReadOutcome::read) return Integrity::damaged;
    return record.bytes == fileStamp(entry.cache) ? Integrity::intact : Integrity::damaged;
}

bool writeRecord(const CacheEntry& entry) {
    const std::string stamp = fileStamp(entry.cache);
    return !stamp.empty() && platform::writeFileAtomically(entry.record(), stamp);
}

CacheUse CacheUse::begin(const CacheEntry& entry) {
    // Locked under another name first, so that no launch ever sees the mark
    // unlocked; the lock stays with the file as it is renamed.
    const std::string token = newToken();
    const std::string starting = entry.cache + startingSuffix + token;
    CacheUse use;
    use.lock_ = platform::FileLock::tryAcquire(starting);
    use.mark_ = entry.mark(token);
    if (use.lock_.held() && !platform::renameFile(starting, use.mark_)) {
        platform::removeFile(starting);
        use.lock_.release();
    }
    return use;
}

std::vector<std::string> crashedUses(const CacheEntry& entry) {
    std::vector<std::string> crashed;
    for (const std::string& mark : entry.filesNamed(".in-use-")) {
        platform::FileLock::Probe outcome;
        const platform::FileLock lock = platform::FileLock::probe(mark, outcome);
        if (outcome == platform::FileLock::Probe::acquired) crashed.push_back(mark);
    }
    return crashed;
}

void removeOtherEntries(const CacheEntry& keep) {
    const std::string folder = platform::directoryOf(keep.cache);
    const std::string kept = platform::lastComponentOf(keep.cache);
    std::vector<platform::DirectoryEntry> entries;
    platform::listDirectory(folder, "classes-*", entries);
    std::map<std::string, std::vector<std::string>> others;
    for (const platform::DirectoryEntry& entry : entries) {
        const std::string name = entryNameOf(entry.name);
        if (!entry.isDirectory && name != kept) others[name].push_back(entry.name);
    }
    for (const auto& [name, files] : others) {
        const CacheEntry other{platform::joinPath(folder, name)};
        // A launch or an assembly at work on it, or an assembly waiting.
        const platform::FileLock lock = platform::FileLock::tryAcquire(other.lock());
        platform::FileLock::Probe request;
        const platform::FileLock waiting = platform::FileLock::probe(other.request(), request);
        if (!lock.held() || request == platform::FileLock::Probe::held) continue;
        for (const std::string& file : files)
            platform::removeFile(platform::joinPath(folder, file));
        platform::removeFile(other.lock());
    }
}

FailureMemo readMemo(const CacheEntry& entry) {
    const platform::FileContent memo = platform::readFile(entry.memo(), smallFile);
    if (memo.outcome == platform::FileReadOutcome::missing) return {};
    return memoFromText(memo.bytes);
}

void writeMemo(const CacheEntry& entry, const FailureMemo& memo) {
    platform::writeFileAtomically(entry.memo(), memoText(memo));
}

void noteFailure(const CacheEntry& entry, const std::string& reason, Retry retry) {
    writeMemo(entry, memoAfterFailure(readMemo(entry), reason, retry));
}

}  // namespace tessvik
