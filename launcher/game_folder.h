// The game's own folder in the user's space: where the launcher keeps what it
// learns about one game (its start-up cache, its crash reports). Two games
// with the same folder name get folders of their own.
#pragma once

#include <string>

// The launcher's folder below a base directory of the user's (a cache or
// state directory): base/Tessvik.
std::string launcherFolderIn(const std::string& base);

// The game's folder below the launcher's folder in base: named for the last
// component of the game's directory and a digest of its whole path.
std::string gameFolderIn(const std::string& base, const std::string& gameDirectory);
