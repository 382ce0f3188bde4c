#include "vm_options.h"

#include <algorithm>

#include "class_path.h"

namespace tessvik {

namespace {

constexpr const char* aggressiveOpts = "-XX:+AggressiveOpts";
constexpr int lastVersionWithAggressiveOpts = 11;
// -Dworkdir, the class path, the library path, -Xmn, -Xms, -Xmx.
constexpr std::size_t fixedOptionCount = 6;

}  // namespace

std::vector<std::string> VmOptionList::with(const std::vector<std::string>& added) const {
    std::vector<std::string> options = fixedAndParams;
    options.insert(options.end(), added.begin(), added.end());
    options.insert(options.end(), verbose.begin(), verbose.end());
    return options;
}

VmOptionList javaVmOptions(const std::string& gameDirectory, const std::string& classPathOption,
                           const std::string& nativeLibDir, const LaunchSettings& settings,
                           const std::vector<std::string>& vmParams,
                           std::optional<int> runtimeVersion) {
    VmOptionList list;
    std::vector<std::string>& options = list.fixedAndParams;
    options.push_back("-Dworkdir=" + gameDirectory);
    options.push_back(classPathOption);
    options.push_back("-Djava.library.path=" + pathListEntry(gameDirectory, nativeLibDir));
    options.push_back("-Xmn256M");
    // The heap sizes go to the VM exactly as the settings file gives them;
    // the VM itself judges them.
    options.push_back("-Xms" + settings.initialHeap);
    options.push_back("-Xmx" + settings.maxHeapSize);
    for (const std::string& param : vmParams) {
        if (runtimeTakesOption(param, runtimeVersion)) options.push_back(param);
    }
    if (settings.verboseJni) list.verbose.push_back("-verbose:jni");
    if (settings.verboseGC) list.verbose.push_back("-verbose:gc");
    if (settings.verboseClass) list.verbose.push_back("-verbose:class");
    return list;
}

bool runtimeTakesOption(const std::string& option, std::optional<int> runtimeVersion) {
    if (option != aggressiveOpts || !runtimeVersion) return true;
    return *runtimeVersion <= lastVersionWithAggressiveOpts;
}

std::vector<GivenVmOption> vmOptionsInOrder(const std::vector<GivenVmOption>& given,
                                            const VmOptionList& launcher) {
    std::vector<GivenVmOption> ordered;
    const auto addGiven = [&](const std::vector<OptionOrigin>& origins) {
        for (const GivenVmOption& option : given) {
            if (std::find(origins.begin(), origins.end(), option.origin) != origins.end()) {
                ordered.push_back(option);
            }
        }
    };
    const auto addLauncher = [&](std::vector<std::string>::const_iterator from,
                                 std::vector<std::string>::const_iterator to) {
        for (; from != to; ++from)
            ordered.push_back({*from, "the launcher", OptionOrigin::launcher});
    };
    addGiven({OptionOrigin::flagsFile, OptionOrigin::runtimeImage, OptionOrigin::javaToolOptions});
    const auto& fixed = launcher.fixedAndParams;
    addLauncher(fixed.begin(),
                fixed.begin() + std::min<std::size_t>(fixed.size(), fixedOptionCount));
    addGiven({OptionOrigin::vmParams});
    addLauncher(launcher.verbose.begin(), launcher.verbose.end());
    addGiven({OptionOrigin::javaOptions});
    return ordered;
}

}  // namespace tessvik
