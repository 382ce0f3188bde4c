// The game's layout: the launcher's own directory, which every path of the
// launch is built on; the fixed names of the game's tree beside it; and the
// game's folders in the user's space, where the launcher keeps what it learns
// about one game (its start-up cache, its crash reports).
#pragma once

#include <optional>
#include <string>

namespace tessvik {

// The settings file in the game directory.
constexpr const char* settingsFileName = "LaunchConfig.ini";

// The directory part of the executable's path (as the platform gives it), or
// nothing when that path does not show a directory holding the file: every
// path of the launch is built on that directory, so without it the launch
// cannot go on.
std::optional<std::string> executableDirectory(const std::string& executablePath);

// The launcher's folder below a base directory of the user's (a cache or
// state directory): base/Tessvik.
std::string launcherFolderIn(const std::string& base);

// The game's folder below the launcher's folder in base: named for the game,
// so that a player tells whose it is, and a digest of the game directory's
// whole path, so that two copies of a game get folders of their own.
std::string gameFolderIn(const std::string& base, const std::string& gameName,
                         const std::string& gameDirectory);

// The game's name as a part of a folder's name on every system: what no file
// system takes (controls, / \ : * ? " < > |, and ; which separates paths) is
// '_', blanks at either end go, a device name of Windows ("CON.x") is kept
// from being one, and at most 48 bytes stay, whole characters; "game" when
// nothing is left.
std::string folderNameOf(const std::string& gameName);

}  // namespace tessvik
