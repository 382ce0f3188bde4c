#include "folder_housekeeping.h"

#include <cstddef>
#include <vector>

#include "crash_reports.h"
#include "digest.h"
#include "platform/directories.h"
#include "platform/files.h"
#include "platform/locks.h"
#include "platform/paths.h"
#include "starts_with.h"

namespace tessvik {

namespace {

constexpr const char* recordName = "game-directory";
constexpr std::int64_t daySeconds = 24 * 60 * 60;
// A game directory's path, however long Windows lets it be, with room to spare.
constexpr std::uint64_t recordLimit = 64 * 1024;

// Files a running launch holds locked in its game folder.
constexpr const char* lockPatterns[] = {"*.lock", "*.in-use-*", "*.starting-*"};

// Each pass's stamp, named for when it last went through every folder; and
// beside it, while a pass is under way, the folder it stopped after.
const char* stampName(FolderPart part) {
    return part == FolderPart::cacheData ? "last-pruned" : "crashes-last-pruned";
}
std::string cursorOf(const std::string& stamp) { return stamp + ".at"; }

std::int64_t secondsBetween(std::int64_t earlier, std::int64_t later) {
    return (later - earlier) / platform::fileTimeUnitsPerSecond;
}

// The launcher's own name for a game folder: <name>-<digest>.
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

// What a record says: the game directory, and the volume it was on ("" in a
// record written before volumes were).
struct GameRecord {
    std::string directory;
    std::string volume;
};

std::optional<GameRecord> recordOf(const std::string& folder) {
    const platform::FileContent record =
        platform::readFile(platform::joinPath(folder, recordName), recordLimit);
    const std::string& text = record.bytes;
    if (record.outcome != platform::FileReadOutcome::read || text.empty() || text.back() != '\n') {
        return std::nullopt;
    }
    const std::size_t end = text.find('\n');
    GameRecord read{text.substr(0, end), text.substr(end + 1)};
    if (!read.volume.empty()) read.volume.pop_back();
    return read;
}

// The volume of the nearest folder above path that is there; "" when none is.
std::string volumeAbove(const std::string& path) {
    for (std::string folder = platform::directoryOf(path); !folder.empty();) {
        if (platform::fileStatus(folder).isDirectory()) return platform::volumeOf(folder);
        const std::string parent = platform::directoryOf(folder);
        if (parent == folder) break;
        folder = parent;
    }
    return {};
}

bool uninstalled(const GameRecord& record) {
    if (record.volume.empty()) {
        return platform::fileStatus(platform::directoryOf(record.directory)).isDirectory();
    }
    return volumeAbove(record.directory) == record.volume;
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
    const std::optional<GameRecord> record = recordOf(folder);
    if (!record) return facts;
    facts.recordedDirectory = record->directory;
    facts.recordedDirectoryExists = platform::fileStatus(record->directory).isDirectory();
    facts.uninstalled = !facts.recordedDirectoryExists && uninstalled(*record);
    return facts;
}

// True when the stamp says a pass went through every folder less than a day
// before now; a stamp from more than a day ahead (a clock set back) counts as
// old.
bool tidiedLately(const std::string& stamp, std::int64_t now) {
    const platform::FileStatus status = platform::fileStatus(stamp);
    if (!status.exists()) return false;
    const std::int64_t since = secondsBetween(status.modified, now);
    return since < daySeconds && since > -daySeconds;
}

// Removes the part of the folder, and the folder when nothing but its record
// is left in it. Links go as themselves.
void tidy(const std::string& folder, FolderPart part) {
    std::vector<platform::DirectoryEntry> entries;
    platform::listDirectory(folder, "*", entries);
    bool othersLeft = false;
    for (const platform::DirectoryEntry& entry : entries) {
        if (entry.name == recordName) continue;
        if ((part == FolderPart::crashReports) == (entry.name == crashesFolderName)) {
            platform::removeTree(platform::joinPath(folder, entry.name));
        } else {
            othersLeft = true;
        }
    }
    if (!othersLeft) platform::removeTree(folder);
}

}  // namespace

void noteGameDirectory(const std::string& gameFolder, const std::string& gameDirectory) {
    const platform::FileStatus folder = platform::fileStatus(gameFolder);
    if (!folder.isDirectory()) return;
    // Rewriting the record touches the folder, which marks it as used.
    const std::optional<GameRecord> record = recordOf(gameFolder);
    const std::string volume = platform::volumeOf(gameDirectory);
    if (record && record->directory == gameDirectory && record->volume == volume &&
        secondsBetween(folder.modified, platform::fileTimeNow()) < daySeconds) {
        return;
    }
    platform::writeFileAtomically(platform::joinPath(gameFolder, recordName),
                                  gameDirectory + '\n' + volume + '\n');
}

bool shouldTidyGameFolder(const GameFolderFacts& folder, const std::string& keepName,
                          FolderPart part) {
    if (folder.name == keepName || !isGameFolderName(folder.name) || folder.inUse) return false;
    const bool unused = folder.idleSeconds >= unusedFolderSeconds;
    // A record copied from another folder says nothing of this one.
    const bool ownRecord = folder.recordedDirectory &&
                           endsWith(folder.name, "-" + digestOf(*folder.recordedDirectory));
    const bool gone = ownRecord && folder.uninstalled;
    return part == FolderPart::cacheData ? unused || gone : unused && gone;
}

void tidyGameFolders(const std::string& launcherFolder, const std::string& keepFolder,
                     FolderPart part, std::int64_t now,
                     std::chrono::steady_clock::duration budget) {
    // A tenth of the budget is kept for noting where the pass stopped.
    const auto deadline = std::chrono::steady_clock::now() + budget - budget / 10;
    const std::string stamp = platform::joinPath(launcherFolder, stampName(part));
    if (tidiedLately(stamp, now)) return;
    const std::string cursor = cursorOf(stamp);
    const std::string after = platform::readFile(cursor, recordLimit).bytes;
    std::vector<platform::DirectoryEntry> entries;
    if (!platform::listDirectory(launcherFolder, "*", entries)) return;

    const std::string keepName = platform::lastComponentOf(keepFolder);
    std::string last = after;
    for (const platform::DirectoryEntry& entry : entries) {
        // Links count as what they lead to, so only directories and links to
        // them are looked at; a link goes as itself.
        if (!entry.isDirectory || (!after.empty() && !platform::listsBefore(after, entry.name))) {
            continue;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            platform::writeFileAtomically(cursor, last);
            return;
        }
        last = entry.name;
        const std::string folder = platform::joinPath(launcherFolder, entry.name);
        GameFolderFacts facts = cheapFactsOf(folder, entry.name, now);
        if (!shouldTidyGameFolder(facts, keepName, part)) continue;
        // Its lock files are looked at only for a folder that would go.
        facts.inUse = heldByALaunch(folder);
        if (shouldTidyGameFolder(facts, keepName, part)) tidy(folder, part);
    }
    platform::removeFile(cursor);
    platform::writeFileAtomically(stamp, "");
}

}  // namespace tessvik
