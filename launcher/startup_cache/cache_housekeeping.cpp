#include "startup_cache/cache_housekeeping.h"

#include <cstddef>
#include <random>
#include <vector>

#include "digest.h"
#include "game_layout.h"
#include "platform/directories.h"
#include "platform/files.h"
#include "platform/locks.h"
#include "platform/paths.h"

namespace tessvik {

namespace {

constexpr const char* recordName = "game-directory";
constexpr const char* stampName = "last-pruned";
constexpr std::int64_t daySeconds = 24 * 60 * 60;
// A game directory's path, however long Windows lets it be, with room to spare.
constexpr std::uint64_t recordLimit = 64 * 1024;
constexpr std::size_t digestLength = 16;

// Files a running launch holds locked in its game folder.
constexpr const char* lockPatterns[] = {"*.lock", "*.in-use-*", "*.starting-*"};

std::int64_t secondsBetween(std::int64_t earlier, std::int64_t later) {
    return (later - earlier) / platform::fileTimeUnitsPerSecond;
}

// The launcher's own name for a game folder: <leaf>-<digest>.
bool isGameFolderName(const std::string& name) {
    if (name.size() <= digestLength + 1 || name[name.size() - digestLength - 1] != '-') {
        return false;
    }
    for (std::size_t i = name.size() - digestLength; i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

std::optional<std::string> recordedDirectoryOf(const std::string& folder) {
    const platform::FileContent record =
        platform::readFile(platform::joinPath(folder, recordName), recordLimit);
    if (record.outcome != platform::FileReadOutcome::read || record.bytes.empty() ||
        record.bytes.back() != '\n') {
        return std::nullopt;
    }
    return record.bytes.substr(0, record.bytes.size() - 1);
}

// True when a running launch holds one of the folder's lock files: one this
// process cannot lock. Links are no locks and are passed over.
bool heldByALaunch(const std::string& folder) {
    std::vector<platform::DirectoryEntry> entries;
    for (const char* pattern : lockPatterns) platform::listDirectory(folder, pattern, entries);
    for (const platform::DirectoryEntry& entry : entries) {
        const std::string path = platform::joinPath(folder, entry.name);
        if (entry.isDirectory || platform::isSymbolicLink(path)) continue;
        if (!platform::FileLock::tryAcquire(path).held()) return true;
    }
    return false;
}

// The facts that cost a few file-system calls; inUse is left for later.
GameFolderFacts cheapFactsOf(const std::string& folder, const std::string& name, std::int64_t now) {
    GameFolderFacts facts;
    facts.name = name;
    facts.idleSeconds = secondsBetween(platform::fileStatus(folder).modified, now);
    facts.recordedDirectory = recordedDirectoryOf(folder);
    if (facts.recordedDirectory) {
        const std::string& directory = *facts.recordedDirectory;
        facts.recordedDirectoryExists = platform::fileStatus(directory).isDirectory();
        facts.recordedParentExists =
            platform::fileStatus(platform::directoryOf(directory)).isDirectory();
    }
    return facts;
}

// True when the stamp says the folders were looked at less than a day before
// now; a stamp from more than a day ahead (a clock set back) counts as old.
bool prunedLately(const std::string& stamp, std::int64_t now) {
    const platform::FileStatus status = platform::fileStatus(stamp);
    if (!status.exists()) return false;
    const std::int64_t since = secondsBetween(status.modified, now);
    return since < daySeconds && since > -daySeconds;
}

}  // namespace

void noteGameDirectory(const std::string& gameFolder, const std::string& gameDirectory) {
    const platform::FileStatus folder = platform::fileStatus(gameFolder);
    if (!folder.isDirectory()) return;
    // Rewriting the record touches the folder, which marks it as used.
    if (recordedDirectoryOf(gameFolder) == gameDirectory &&
        secondsBetween(folder.modified, platform::fileTimeNow()) < daySeconds) {
        return;
    }
    platform::writeFileAtomically(platform::joinPath(gameFolder, recordName), gameDirectory + '\n');
}

bool shouldRemoveGameFolder(const GameFolderFacts& folder, const std::string& keepName) {
    if (folder.name == keepName || !isGameFolderName(folder.name) || folder.inUse) return false;
    if (folder.idleSeconds >= unusedFolderSeconds) return true;
    // A record copied from another folder says nothing of this one.
    const bool ownRecord =
        folder.recordedDirectory &&
        platform::lastComponentOf(gameFolderIn({}, *folder.recordedDirectory)) == folder.name;
    return ownRecord && !folder.recordedDirectoryExists && folder.recordedParentExists;
}

void pruneGameFolders(const std::string& launcherFolder, const std::string& keepFolder,
                      std::int64_t now, std::chrono::steady_clock::duration budget) {
    const auto deadline = std::chrono::steady_clock::now() + budget;
    const std::string stamp = platform::joinPath(launcherFolder, stampName);
    if (prunedLately(stamp, now)) return;
    std::vector<platform::DirectoryEntry> entries;
    if (!platform::listDirectory(launcherFolder, "*", entries)) return;
    // Stamped first: a launch starting meanwhile leaves the folders to this one.
    platform::writeFileAtomically(stamp, "");

    const std::string keepName = platform::lastComponentOf(keepFolder);
    for (const platform::DirectoryEntry& entry : entries) {
        // Links count as what they lead to, so only directories and links to
        // them are looked at; a link goes as itself.
        if (!entry.isDirectory) continue;
        const std::string folder = platform::joinPath(launcherFolder, entry.name);
        GameFolderFacts facts = cheapFactsOf(folder, entry.name, now);
        if (!shouldRemoveGameFolder(facts, keepName)) continue;
        // Its lock files are looked at only for a folder that would go.
        facts.inUse = heldByALaunch(folder);
        if (!shouldRemoveGameFolder(facts, keepName)) continue;
        if (std::chrono::steady_clock::now() >= deadline) {
            platform::removeFile(stamp);
            return;
        }
        platform::removeTree(folder);
    }
}

}  // namespace tessvik
