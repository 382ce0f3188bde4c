#include "vm_options.h"

#include "platform/platform.h"
#include "retired_vm_options.h"

bool pathsBelowSplitInLists(const std::string& workDir) {
    return workDir.find(platform::classPathSeparator) != std::string::npos;
}

std::string pathListEntry(const std::string& workDir, const std::string& below) {
    if (pathsBelowSplitInLists(workDir) && !below.empty() &&
        platform::isPathSeparator(below.front())) {
        return below.substr(1);
    }
    return workDir + below;
}

std::vector<std::string> javaVmOptions(const std::string& workDir,
                                       const std::string& classPathOption,
                                       const std::string& nativeLibDir,
                                       const LaunchSettings& settings,
                                       std::optional<int> runtimeVersion,
                                       const std::vector<std::string>& sharingOptions) {
    std::vector<std::string> options;
    options.reserve(6 + settings.vmParams.size() + sharingOptions.size() + 3);
    options.push_back("-Dworkdir=" + workDir);
    options.push_back(classPathOption);
    options.push_back("-Djava.library.path=" + pathListEntry(workDir, nativeLibDir));
    options.push_back("-Xmn256M");
    // The heap sizes go to the VM exactly as the settings file gives them;
    // the VM itself judges them.
    options.push_back("-Xms" + settings.initialHeap);
    options.push_back("-Xmx" + settings.maxHeapSize);
    for (const std::string& param : settings.vmParams) {
        if (runtimeTakesOption(param, runtimeVersion)) options.push_back(param);
    }
    options.insert(options.end(), sharingOptions.begin(), sharingOptions.end());
    if (settings.verboseJni) options.push_back("-verbose:jni");
    if (settings.verboseGC) options.push_back("-verbose:gc");
    if (settings.verboseClass) options.push_back("-verbose:class");
    return options;
}
