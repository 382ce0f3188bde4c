#include "runtime_location.h"

#include <string>
#include <vector>

#include "directory_search.h"
#include "messages.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "runtime_facts.h"

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
    return {};
}

std::string runtimeLibraryDirectory(const std::string& libraryPath) {
    return platform::directoryOf(platform::directoryOf(libraryPath));
}

bool loadRuntime(JavaLauncher& launcher) {
    const LaunchSettings& settings = launcher.settings;
    const std::string candidate = settings.overrideDefaultJavaPath
                                      ? validateJavaPath(settings.javaPath)
                                      : launcher.runtimePath;
    if (candidate.empty()) {
        writeOut("Failed to find jvm installation.");
        return false;
    }
    writeOut("Runtime path: " + candidate);

    platform::setLibraryDirectory(runtimeLibraryDirectory(candidate));
    // Only a regular file is loaded: opening a FIFO would wait for ever.
    if (platform::fileStatus(candidate).isRegularFile()) {
        launcher.runtimeModule = platform::ResidentLibrary::load(candidate);
    }
    if (!launcher.runtimeModule) {
        writeErr(std::string("Failed to load ") + platform::runtimeLibraryName);
        return false;
    }
    launcher.loadedRuntimePath = candidate;
    launcher.runtimeVersion = runtimeFeatureVersion(candidate);
    return true;
}

}  // namespace tessvik
