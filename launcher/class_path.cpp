#include "class_path.h"

#include <string>
#include <vector>

#include "directory_search.h"
#include "messages.h"
#include "platform/paths.h"
#include "starts_with.h"

namespace tessvik {

namespace {

std::string separatorText() { return std::string(1, platform::classPathSeparator); }

// True when the part of path below the game directory holds the class path
// separator: the VM would split the entry there, whatever the working
// directory.
bool nameSplitsInLists(const std::string& gameDirectory, const std::string& path) {
    return path.find(platform::classPathSeparator, gameDirectory.size()) != std::string::npos;
}

// An entry as the option gives it: relative to the game directory when the
// game directory's own path would split it.
std::string optionEntry(const std::string& gameDirectory, const std::string& path) {
    if (!startsWith(path, gameDirectory) || path.size() == gameDirectory.size()) return path;
    return pathListEntry(gameDirectory, path.substr(gameDirectory.size() + 1));
}

}  // namespace

void findMainJar(JavaLauncher& launcher) {
    findFiles(launcher.gameDirectory, launcher.mainJar, launcher.classPath, FileMatch::pattern,
              Descent::thisDirectory);
}

void collectJars(JavaLauncher& launcher) {
    const std::string& gameDirectory = launcher.gameDirectory;
    std::vector<std::string> found;
    findFiles(gameDirectory, "*.jar", found, FileMatch::pattern, Descent::thisDirectory);
    findFiles(platform::joinPath(gameDirectory, launcher.libDir), "*.*", found, FileMatch::pattern,
              Descent::thisDirectory);

    // The jar listing finds the main jar again; what is already on the class
    // path (byte for byte the same path) stays where it is.
    std::vector<std::string>& classPath = launcher.classPath;
    const std::size_t known = classPath.size();
    for (const std::string& path : found) {
        bool listed = false;
        for (std::size_t i = 0; i < known && !listed; ++i) listed = classPath[i] == path;
        if (listed) continue;
        if (nameSplitsInLists(gameDirectory, path)) {
            writeOut("Left off the class path, its name holds '" + separatorText() + "': " + path);
            continue;
        }
        classPath.push_back(path);
    }
}

std::string buildClassPathOption(const JavaLauncher& launcher) {
    std::string value;
    for (std::size_t i = 0; i < launcher.classPath.size(); ++i) {
        if (i > 0) value += platform::classPathSeparator;
        value += optionEntry(launcher.gameDirectory, launcher.classPath[i]);
    }
    for (const std::string& directory : launcher.extraClassPathDirs) {
        value += platform::classPathSeparator;
        value += pathListEntry(launcher.gameDirectory, directory);
    }
    return "-Djava.class.path=" + value;
}

bool pathsBelowSplitInLists(const std::string& gameDirectory) {
    return gameDirectory.find(platform::classPathSeparator) != std::string::npos;
}

std::string pathListEntry(const std::string& gameDirectory, const std::string& below) {
    if (pathsBelowSplitInLists(gameDirectory)) return below;
    return platform::joinPath(gameDirectory, below);
}

void enterGameDirectory(const std::string& gameDirectory) {
    if (!pathsBelowSplitInLists(gameDirectory)) return;
    // Class path entries below a directory whose path holds the separator are
    // given relative to it, so it must be the current one.
    if (platform::setCurrentDirectory(gameDirectory)) {
        writeOut("Its path holds '" + separatorText() +
                 "': class path entries are given relative to it, the current directory");
    } else {
        writeOut("Cannot make it the current directory, and its path holds '" + separatorText() +
                 "'");
    }
}

}  // namespace tessvik
