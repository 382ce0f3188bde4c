// Housekeeping of the launcher's folders in the user's space: the game
// folders of games that were uninstalled, or that nobody launched for a long
// time, give back their room. The start-up cache's pass removes cache data
// only (tens of megabytes a game); the crash reports' pass removes a game's
// crash reports only once the game has been gone for as long. Where both
// share one folder (Windows: %LOCALAPPDATA%\Tessvik), neither touches the
// other's part.
//
// A game folder records the game directory it belongs to, and the volume that
// directory was on, in a file of its own (game-directory). Its last use is its
// own modification time: noteGameDirectory refreshes it when it is older than
// a day. The launcher folder keeps a stamp per pass, so that the folders are
// looked at once a day at most, and where a pass stopped when its time ran
// out.
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

// The part of a game folder a pass looks after.
enum class FolderPart {
    cacheData,     // everything but the crash reports
    crashReports,  // the crashes folder
};

// Looks at the game folders below launcherFolder, never keepFolder (this
// launch's) nor one a running launch holds a lock in, and removes the part of
// those of no more use (see shouldTidyGameFolder); a folder left empty goes.
// now is platform::fileTimeNow(), or another time in its units. Does nothing
// when the pass ended less than a day before now. Once budget has passed the
// pass stops, and the next launch goes on where it stopped: a launch never
// waits for many folders at once, to look at or to remove.
constexpr std::chrono::milliseconds housekeepingBudget(3);
void tidyGameFolders(const std::string& launcherFolder, const std::string& keepFolder,
                     FolderPart part, std::int64_t now,
                     std::chrono::steady_clock::duration budget = housekeepingBudget);

// What is known of one entry of the launcher folder, a directory.
struct GameFolderFacts {
    std::string name;
    // The game directory its record names, when it has a readable record.
    std::optional<std::string> recordedDirectory;
    bool recordedDirectoryExists = false;
    // The game is gone from the place it was: its directory is missing, and
    // the nearest folder above it that is there lies on the volume the game
    // was on (a record without the volume: the directory above it is there).
    // A drive unplugged or a share not mounted leaves nothing of the game's
    // volume, and so keeps it.
    bool uninstalled = false;
    std::int64_t idleSeconds = 0;  // since the folder's last modification
    bool inUse = false;            // a lock of a running launch is held in it
};

// Game folders unused this long lose their cache whatever their record says;
// crash reports go once their game has been gone this long.
constexpr std::int64_t unusedFolderSeconds = 60 * 24 * 60 * 60;

// True when the pass for part tidies the folder: it is named as the launcher
// names game folders, it is not keepName nor in use, and
//  - cache data: its own record says its game was uninstalled, or it was
//    unused for unusedFolderSeconds;
//  - crash reports: its own record says its game was uninstalled, and it was
//    unused for unusedFolderSeconds since.
// A record that names another folder's game (copied) says nothing.
bool shouldTidyGameFolder(const GameFolderFacts& folder, const std::string& keepName,
                          FolderPart part);

}  // namespace tessvik
