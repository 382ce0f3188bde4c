// The class path: the main jar first, then every other jar beside the
// executable, then every file of the lib subdirectory, then the two resource
// directories.
#include <string>
#include <vector>

#include "java_launcher.h"
#include "messages.h"
#include "platform/platform.h"
#include "vm_options.h"

namespace {

// True when the part of path below workDir holds the class path separator:
// the VM would split the entry there, whatever the working directory.
bool nameSplitsInLists(const std::string& workDir, const std::string& path) {
    return path.find(platform::classPathSeparator, workDir.size()) != std::string::npos;
}

// An entry as the option gives it: relative to the working directory when
// the working directory's own path would split it.
std::string optionEntry(const std::string& workDir, const std::string& path) {
    if (path.compare(0, workDir.size(), workDir) != 0) return path;
    return pathListEntry(workDir, path.substr(workDir.size()));
}

}  // namespace

void JavaLauncher::findMainJar() { findFiles(workDir, mainJar, classPath, false, false); }

void JavaLauncher::collectJars() {
    std::vector<std::string> found;
    findFiles(workDir, "*.jar", found, false, false);
    findFiles(workDir + libDir, "*.*", found, false, false);

    // The jar listing finds the main jar again; what is already on the class
    // path (byte for byte the same path) stays where it is.
    const std::size_t known = classPath.size();
    for (const std::string& path : found) {
        bool listed = false;
        for (std::size_t i = 0; i < known && !listed; ++i) listed = classPath[i] == path;
        if (listed) continue;
        if (nameSplitsInLists(workDir, path)) {
            writeOut("Left off the class path, its name holds '" +
                     std::string(1, platform::classPathSeparator) + "': " + path);
            continue;
        }
        classPath.push_back(path);
    }
}

std::string JavaLauncher::buildClassPathOption() const {
    std::string value;
    for (std::size_t i = 0; i < classPath.size(); ++i) {
        if (i > 0) value += platform::classPathSeparator;
        value += optionEntry(workDir, classPath[i]);
    }
    for (const std::string& directory : extraClassPathDirs) {
        value += platform::classPathSeparator;
        value += pathListEntry(workDir, directory);
    }
    return "-Djava.class.path=" + value;
}
