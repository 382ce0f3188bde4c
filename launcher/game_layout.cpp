#include "game_layout.h"

#include <algorithm>

#include "digest.h"
#include "java_launcher.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace tessvik {

JavaLauncher::JavaLauncher(const LaunchSettings& launchSettings, std::string directory)
    : gameDirectory(std::move(directory)),
      gameName(gameNameOf(launchSettings, gameDirectory)),
      mainJar(launchSettings.mainJar),
      mainClass(internalClassName(launchSettings.mainClass)),
      libDir("lib"),
      nativeLibDir("nativelibs"),
      extraClassPathDirs{"internal-pack", "launcher-data"},
      settings(launchSettings) {}

std::string gameNameOf(const LaunchSettings& settings, const std::string& gameDirectory) {
    if (!settings.gameName.empty()) return settings.gameName;
    // A drive ("C:") names no install folder.
    const std::string installFolder =
        platform::lastComponentOf(platform::directoryOf(gameDirectory));
    if (!installFolder.empty() && installFolder.back() != ':') return installFolder;
    const std::string own = platform::lastComponentOf(gameDirectory);
    return own.empty() ? "Tessvik" : own;
}

std::string internalClassName(const std::string& binaryName) {
    std::string name = binaryName;
    std::replace(name.begin(), name.end(), '.', '/');
    return name;
}

std::optional<std::string> executableDirectory(const std::string& executablePath) {
    // A path naming a regular file shows that its directory part is a
    // directory holding it. A path the platform could not give ("") or gave
    // in a form that names no file (a deleted executable's "... (deleted)", a
    // name without a directory) shows nothing.
    const std::string directory = platform::directoryOf(executablePath);
    if (directory.empty() || platform::isPathSeparator(executablePath.back()) ||
        !platform::fileStatus(executablePath).isRegularFile()) {
        return std::nullopt;
    }
    return directory;
}

std::string launcherFolderIn(const std::string& base) {
    return platform::joinPath(base, "Tessvik");
}

std::string gameFolderIn(const std::string& base, const std::string& gameDirectory) {
    std::string leaf = platform::lastComponentOf(gameDirectory);
    if (leaf.empty()) leaf = "game";
    return platform::joinPath(launcherFolderIn(base), leaf + "-" + digestOf(gameDirectory));
}

}  // namespace tessvik
