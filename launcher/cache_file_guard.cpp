#include "cache_file_guard.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <optional>
#include <random>
#include <vector>

namespace {

constexpr const char* integritySuffix = ".sum";
constexpr const char* inUseSuffix = ".in-use-";
constexpr const char* startingSuffix = ".starting-";
constexpr const char* failureSuffix = ".failed";
constexpr const char* refusalSuffix = ".refused";
constexpr std::uint64_t smallFile = 4096;

bool writeSmallFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return !out.fail();
}

// The record's text for the cache at path, or nothing when it cannot be read
// to its end.
std::optional<std::string> integrityRecordOf(const std::string& path) {
    Checksum checksum;
    const platform::FileReadOutcome outcome = platform::readFileInPieces(
        path, [&checksum](const char* bytes, std::size_t size) { checksum.add(bytes, size); });
    if (outcome != platform::FileReadOutcome::read) return std::nullopt;
    return std::to_string(checksum.size()) + ' ' + hexText(checksum.value()) + '\n';
}

}  // namespace

std::string inputStamp(const std::string& path) {
    const platform::FileStatus status = platform::fileStatus(path);
    std::string stamp = path + '\n';
    if (!status.exists) return stamp + "missing\n";
    if (status.isDirectory) return stamp + "directory\n";
    const platform::FileIdentity identity = platform::fileIdentity(path);
    return stamp + std::to_string(status.size) + ' ' + std::to_string(status.modified) + ' ' +
           identity.file + ' ' + std::to_string(identity.changed) + '\n';
}

bool recordIntegrity(const std::string& cache) {
    const std::optional<std::string> record = integrityRecordOf(cache);
    return record && writeSmallFile(cache + integritySuffix, *record);
}

Integrity checkIntegrity(const std::string& cache) {
    const platform::FileContent record = platform::readFile(cache + integritySuffix, smallFile);
    if (record.outcome == platform::FileReadOutcome::missing) return Integrity::unrecorded;
    if (record.outcome != platform::FileReadOutcome::read) return Integrity::damaged;
    return record.bytes == integrityRecordOf(cache) ? Integrity::intact : Integrity::damaged;
}

CacheUse CacheUse::begin(const std::string& cache) {
    // A name of its own for every launch: two may use one cache at once.
    std::random_device random;
    const std::string unique = hexText((std::uint64_t(random()) << 32) ^ random());
    // Locked under another name first, so that no launch ever sees the mark
    // unlocked; the lock stays with the file as it is renamed.
    const std::string starting = cache + startingSuffix + unique;
    CacheUse use;
    use.lock_ = platform::FileLock::tryAcquire(starting);
    use.marker_ = cache + inUseSuffix + unique;
    if (use.lock_.held() && !platform::renameFile(starting, use.marker_)) {
        use.lock_.release();
        platform::removeFile(starting);
    }
    return use;
}

void CacheUse::end() {
    if (!lock_.held()) return;
    // Unlocked first: Windows removes no file that is open.
    lock_.release();
    platform::removeFile(marker_);
}

bool endedAbnormallyInUse(const std::string& cache) {
    const std::string directory = platform::directoryOf(cache);
    std::vector<platform::DirectoryEntry> entries;
    platform::listDirectory(directory, platform::lastComponentOf(cache) + inUseSuffix + "*",
                            entries);
    bool abnormal = false;
    for (const platform::DirectoryEntry& entry : entries) {
        if (entry.isDirectory) continue;
        const std::string marker = platform::joinPath(directory, entry.name);
        platform::FileLock lock = platform::FileLock::tryAcquire(marker);
        // Held: that launch is still running.
        if (!lock.held()) continue;
        lock.release();
        platform::removeFile(marker);
        abnormal = true;
    }
    return abnormal;
}

void recordFailure(const std::string& cache, const std::string& reason) {
    writeSmallFile(cache + failureSuffix, reason + '\n');
}

bool failedBefore(const std::string& cache) {
    return platform::fileStatus(cache + failureSuffix).exists;
}

bool noteRefusal(const std::string& cache) {
    const std::string note = cache + refusalSuffix;
    if (platform::fileStatus(note).exists) return true;
    writeSmallFile(note, "refused\n");
    return false;
}

bool discardCache(const std::string& cache) {
    const bool gone = platform::removeFile(cache);
    platform::removeFile(cache + integritySuffix);
    return gone;
}

void removeOtherCaches(const std::string& directory, const std::string& prefix,
                       const std::string& keep) {
    std::vector<platform::DirectoryEntry> entries;
    platform::listDirectory(directory, prefix + "*", entries);
    for (const platform::DirectoryEntry& entry : entries) {
        if (entry.isDirectory) continue;
        // The cache itself, or one of its companions.
        if (entry.name == keep || entry.name.rfind(keep + '.', 0) == 0) continue;
        platform::removeFile(platform::joinPath(directory, entry.name));
    }
}
