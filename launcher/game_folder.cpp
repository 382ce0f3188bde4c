#include "game_folder.h"

#include "digest.h"
#include "platform/platform.h"

std::string launcherFolderIn(const std::string& base) {
    return platform::joinPath(base, "Tessvik");
}

std::string gameFolderIn(const std::string& base, const std::string& gameDirectory) {
    std::string leaf = platform::lastComponentOf(gameDirectory);
    if (leaf.empty()) leaf = "game";
    return platform::joinPath(launcherFolderIn(base), leaf + "-" + digestOf(gameDirectory));
}
