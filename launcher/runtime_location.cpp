#include "runtime_location.h"

#include <string>
#include <vector>

#include "directory_search.h"
#include "messages.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "runtime_facts.h"
#include "starts_with.h"

namespace tessvik {

void locateDefaultRuntime(JavaLauncher& launcher) {
    writeOut(launcher.gameDirectory);
    const std::string runtimeDirectory =
        platform::joinPath(platform::joinPath(launcher.gameDirectory, ".."), "runtime");
    std::vector<std::string> found;
    findFiles(runtimeDirectory, platform::runtimeLibraryName, found, FileMatch::exactName,
              Descent::wholeTree);
    if (!found.empty()) launcher.runtimePath = found.front();
}

std::string validateJavaPath(const std::string& path) {
    if (path.empty()) {
        writeOut("A path must be specified to override the default java path");
        return {};
    }
    std::vector<std::string> found;
    findFiles(path, platform::runtimeLibraryName, found, FileMatch::exactName,
              Descent::thisDirectory);
    if (!found.empty()) return found.front();
    writeOut(std::string("Unable to find ") + platform::runtimeLibraryName +
             " at specified location.");
    writeOut("Looked in: " + path);
    return {};
}

std::string javaPathIn(const std::string& gameDirectory, const std::string& javaPath) {
    if (javaPath.empty() || platform::isAbsolutePath(javaPath)) return javaPath;
    return platform::joinPath(gameDirectory, javaPath);
}

std::string notLoadedLine(const std::string& path, const std::string& why) {
    // dlerror begins with the path; FormatMessage's text does not.
    return startsWith(why, path) ? why : path + ": " + why;
}

std::string runtimeLibraryDirectory(const std::string& libraryPath) {
    return platform::directoryOf(platform::directoryOf(libraryPath));
}

namespace {

// HotSpot splits its own library path (the runtime's folder) at the path list
// separator, so a runtime below a folder whose name holds one does not start;
// its own java fails there too. It resolves links to find that folder.
bool runtimeCanRunFrom(const std::string& libraryPath) {
    const std::string resolved = platform::resolvedPath(libraryPath);
    // Where links are not resolved (Windows), ".." still leaves its folder.
    if (platform::withDotSegmentsResolved(resolved).find(platform::classPathSeparator) ==
        std::string::npos) {
        return true;
    }
    const std::string separator(1, platform::classPathSeparator);
    writeOut("The Java runtime cannot run from a path that holds '" + separator + "' (" + resolved +
             "): install the game in a folder whose path has no '" + separator + "'.");
    return false;
}

// Loads the library at path, or says why not on standard error.
platform::ResidentLibrary loadLibrary(const std::string& path) {
    std::string why = "not a regular file";
    platform::ResidentLibrary library;
    // Only a regular file is loaded: opening a FIFO would wait for ever.
    if (platform::fileStatus(path).isRegularFile()) {
        library = platform::ResidentLibrary::load(path, &why);
    }
    if (!library) {
        writeErr(std::string("Failed to load ") + platform::runtimeLibraryName);
        writeErr(notLoadedLine(path, why));
    }
    return library;
}

}  // namespace

bool loadRuntime(JavaLauncher& launcher) {
    const LaunchSettings& settings = launcher.settings;
    const std::string candidate =
        settings.overrideDefaultJavaPath
            ? validateJavaPath(javaPathIn(launcher.gameDirectory, settings.javaPath))
            : launcher.runtimePath;
    if (candidate.empty()) {
        writeOut("Failed to find jvm installation.");
        return false;
    }
    writeOut("Runtime path: " + candidate);
    if (!runtimeCanRunFrom(candidate)) return false;

    platform::setLibraryDirectory(runtimeLibraryDirectory(candidate));
    launcher.runtimeModule = loadLibrary(candidate);
    if (!launcher.runtimeModule) return false;
    launcher.loadedRuntimePath = candidate;
    launcher.runtimeVersion = runtimeFeatureVersion(candidate);
    return true;
}

}  // namespace tessvik
