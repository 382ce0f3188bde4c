// Finding and loading the Java runtime's VM library: by default anywhere
// below the game's ../runtime directory, or directly in a directory that the
// settings name.
#include <string>
#include <vector>

#include "java_launcher.h"
#include "messages.h"
#include "platform/platform.h"
#include "runtime_release.h"

void JavaLauncher::locateDefaultRuntime() {
    const std::string directory = executableDirectory();
    writeOut(directory);
    const std::string runtimeDirectory =
        directory + platform::pathSeparator + ".." + platform::pathSeparator + "runtime";
    std::vector<std::string> found;
    findFiles(runtimeDirectory, platform::runtimeLibraryName, found, true, true);
    if (!found.empty()) runtimePath = found.front();
}

std::string validateJavaPath(const std::string& path) {
    if (path.empty()) {
        writeOut("A path must be specified to override the default java path");
        return {};
    }
    std::vector<std::string> found;
    findFiles(path, platform::runtimeLibraryName, found, true, false);
    if (!found.empty()) return found.front();
    writeOut(std::string("Unable to find ") + platform::runtimeLibraryName +
             " at specified location.");
    return {};
}

std::string runtimeLibraryDirectory(const std::string& libraryPath) {
    return platform::directoryOf(platform::directoryOf(libraryPath));
}

bool JavaLauncher::loadRuntime() {
    const std::string candidate =
        settings.overrideDefaultJavaPath ? validateJavaPath(settings.javaPath) : runtimePath;
    if (candidate.empty()) {
        writeOut("Failed to find jvm installation.");
        return false;
    }
    writeOut("Runtime path: " + candidate);

    platform::setLibraryDirectory(runtimeLibraryDirectory(candidate));
    // Only a regular file is loaded: opening a FIFO would wait for ever.
    runtimeModule = platform::isRegularFile(candidate) ? platform::ResidentLibrary::load(candidate)
                                                       : platform::ResidentLibrary();
    if (runtimeModule == nullptr) {
        writeErr(std::string("Failed to load ") + platform::runtimeLibraryName);
        return false;
    }
    loadedRuntimePath = candidate;
    runtimeVersion = runtimeFeatureVersion(candidate);
    return true;
}
