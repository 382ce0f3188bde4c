#include "game_layout.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "digest.h"
#include "java_launcher.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "starts_with.h"

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

std::string gameFolderIn(const std::string& base, const std::string& gameName,
                         const std::string& gameDirectory) {
    return platform::joinPath(launcherFolderIn(base),
                              folderNameOf(gameName) + "-" + digestOf(gameDirectory));
}

namespace {

constexpr std::size_t longestFolderName = 48;

bool isDeviceName(const std::string& name) {
    std::string_view stem = std::string_view(name).substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    for (const char* device : {"CON", "PRN", "AUX", "NUL"}) {
        if (equalsIgnoringCase(stem, device)) return true;
    }
    return stem.size() == 4 &&
           (equalsIgnoringCase(stem.substr(0, 3), "COM") ||
            equalsIgnoringCase(stem.substr(0, 3), "LPT")) &&
           std::isdigit(static_cast<unsigned char>(stem[3]));
}

std::string trimmedBlanks(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string folderNameOf(const std::string& gameName) {
    std::string name;
    for (const char c : gameName) {
        const bool refused = static_cast<unsigned char>(c) < 0x20 || c == 0x7f ||
                             std::string_view("/\\:*?\"<>|;").find(c) != std::string_view::npos;
        name += refused ? '_' : c;
    }
    name = trimmedBlanks(name);
    if (name.size() > longestFolderName) {
        // Back to the start of a character: UTF-8 continuation bytes are 10xxxxxx.
        std::size_t end = longestFolderName;
        while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xc0) == 0x80) --end;
        name = trimmedBlanks(name.substr(0, end));
    }
    if (isDeviceName(name)) name.insert(0, "_");
    return name.empty() ? "game" : name;
}

}  // namespace tessvik
