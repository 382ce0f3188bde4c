// The class path: the main jar first, then every other jar beside the
// executable, then every file of the lib subdirectory, then the two resource
// directories.
#include <string>
#include <vector>

#include "java_launcher.h"
#include "platform/platform.h"

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
        if (!listed) classPath.push_back(path);
    }
}

std::string JavaLauncher::buildClassPathOption() const {
    std::string value;
    for (std::size_t i = 0; i < classPath.size(); ++i) {
        if (i > 0) value += platform::classPathSeparator;
        value += classPath[i];
    }
    for (const std::string& directory : extraClassPathDirs) {
        value += platform::classPathSeparator;
        value += workDir;
        value += directory;
    }
    return "-Djava.class.path=" + value;
}
