// Housekeeping of the launcher's folder in the user's cache directory: the
// game folders (a start-up cache of tens of megabytes each) of games that were
// moved or uninstalled, or that nobody launched for a long time, are removed.
//
// A game folder records the game directory it belongs to in a small file of
// its own (game-directory). Its last use is its own modification time: every
// launch's cache files touch it, and noteGameDirectory refreshes it when it is
// older than a day. The launcher folder keeps a stamp (last-pruned) so that
// the folders are looked at once a day at most.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace tessvik {

// Records in gameFolder, when it is not recorded there yet, that the folder
// belongs to gameDirectory; refreshes the folder's last use when that is more
// than a day old. Nothing happens where the folder is missing or cannot be
// written: the launch goes on.
void noteGameDirectory(const std::string& gameFolder, const std::string& gameDirectory);

// Removes, below launcherFolder, the game folders that are of no more use
// (see shouldRemoveGameFolder), never keepFolder (this launch's) nor a folder
// that a running launch holds a lock in. now is platform::fileTimeNow(), or
// another time in its units. Does nothing when it last ran less than a day
// before now. Once budget has passed no further folder is removed, and the
// next launch goes on where this one stopped: a launch never waits for the
// removal of many caches at once.
constexpr std::chrono::milliseconds pruneBudget(3);
void pruneGameFolders(const std::string& launcherFolder, const std::string& keepFolder,
                      std::int64_t now, std::chrono::steady_clock::duration budget = pruneBudget);

// What is known of one entry of the launcher folder, a directory.
struct GameFolderFacts {
    std::string name;
    // The game directory its record names, when it has a readable record.
    std::optional<std::string> recordedDirectory;
    bool recordedDirectoryExists = false;
    // The directory the recorded one stands in: when it is missing too, a
    // drive may only be unplugged or a share not mounted.
    bool recordedParentExists = false;
    std::int64_t idleSeconds = 0;  // since the folder's last modification
    bool inUse = false;            // a lock of a running launch is held in it
};

// Game folders unused this long go whatever their record says.
constexpr std::int64_t unusedFolderSeconds = 60 * 24 * 60 * 60;

// True when the folder goes: it is named as the launcher names game folders,
// it is not keepName nor in use, and either its record belongs to it and
// names a game directory that is gone from a parent still there (the game was
// moved or uninstalled), or it was unused for unusedFolderSeconds. A folder
// without a record (made before records were kept), or with one naming
// another folder's game, is judged by its last use alone.
bool shouldRemoveGameFolder(const GameFolderFacts& folder, const std::string& keepName);

}  // namespace tessvik
