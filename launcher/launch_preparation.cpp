// Preparing a launch: the runtime is loaded, the working directory is known
// and the class path is collected. Only a runtime that cannot be found or
// loaded stops the launch.
#include "java_launcher.h"
#include "messages.h"
#include "platform/platform.h"

void assignGameLayout(JavaLauncher& launcher) {
    const std::string separator(1, platform::pathSeparator);
    launcher.mainJar = "client.jar";
    launcher.mainClass = "com/zarnhall/client/launcherfx/ZarnMain";
    launcher.libDir = separator + "lib";
    launcher.nativeLibDir = separator + "nativelibs";
    launcher.extraClassPathDirs = {separator + "internal-pack", separator + "launcher-data"};
}

bool JavaLauncher::prepare() {
    if (!loadRuntime()) return false;
    workDir = executableDirectory();
    writeOut("Working Directory: " + workDir);
    findMainJar();
    collectJars();
    return true;
}
