// Preparing a launch: the runtime is loaded, the working directory is known
// (and made the current one when the class path must be given relative to
// it) and the class path is collected. Only a runtime that cannot be found or
// loaded stops the launch.
#include "java_launcher.h"
#include "messages.h"
#include "platform/platform.h"
#include "vm_options.h"

void assignGameLayout(JavaLauncher& launcher) {
    const std::string separator(1, platform::pathSeparator);
    launcher.mainJar = "client.jar";
    launcher.mainClass = "com/zarnhall/client/launcherfx/ZarnMain";
    launcher.libDir = separator + "lib";
    launcher.nativeLibDir = separator + "nativelibs";
    launcher.extraClassPathDirs = {separator + "internal-pack", separator + "launcher-data"};
}

namespace {

// Class path entries below a directory whose path holds the class path
// separator are given relative to it, so it must be the current one.
void enterWorkDir(const std::string& workDir) {
    const std::string separator(1, platform::classPathSeparator);
    if (platform::setCurrentDirectory(workDir)) {
        writeOut("Its path holds '" + separator +
                 "': class path entries are given relative to it, the current directory");
    } else {
        writeOut("Cannot make it the current directory, and its path holds '" + separator + "'");
    }
}

}  // namespace

bool JavaLauncher::prepare() {
    if (!loadRuntime()) return false;
    workDir = executableDirectory();
    writeOut("Working Directory: " + workDir);
    if (pathsBelowSplitInLists(workDir)) enterWorkDir(workDir);
    findMainJar();
    collectJars();
    return true;
}
