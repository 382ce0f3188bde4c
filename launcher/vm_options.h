// The option texts the Java VM is created with: the six fixed options and the
// settings' VMParams, then what the launcher adds for this launch (where a
// crash report goes, the start-up cache), then the verbose switches in the
// order jni, gc, class.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "launch_settings.h"
#include "vm_option_sources.h"

namespace tessvik {

struct VmOptionList {
    std::vector<std::string> fixedAndParams;  // the six fixed options, then VMParams
    std::vector<std::string> verbose;

    // The whole list, with added between the two parts.
    std::vector<std::string> with(const std::vector<std::string>& added = {}) const;
};

// gameDirectory is the game's directory, classPathOption the complete
// "-Djava.class.path=..." text, nativeLibDir the native library folder below
// the game directory, vmParams the settings' VMParams in the VM's forms
// (java_options.h). runtimeVersion is the feature version of the runtime the
// VM comes from, when known: a VMParams option that runtime no longer takes is
// left out.
VmOptionList javaVmOptions(const std::string& gameDirectory, const std::string& classPathOption,
                           const std::string& nativeLibDir, const LaunchSettings& settings,
                           const std::vector<std::string>& vmParams,
                           std::optional<int> runtimeVersion = std::nullopt);

// True when option is handed to a runtime of the given feature version (from
// its release file). The default settings file holds -XX:+AggressiveOpts:
// Java 11 and older take it, Java 12 ignores it with a warning, and later
// runtimes refuse it, so that the VM would not be created. Every other option,
// and that one up to Java 11 or when the version is not known, is handed on.
bool runtimeTakesOption(const std::string& option, std::optional<int> runtimeVersion);

// Every option the VM takes, in the order it applies them (a later one wins):
// the game's from the sources before the launcher's, the launcher's own six,
// the game's VMParams (their option files expanded), the verbose switches,
// then the game's from _JAVA_OPTIONS.
std::vector<GivenVmOption> vmOptionsInOrder(const std::vector<GivenVmOption>& given,
                                            const VmOptionList& launcher);

}  // namespace tessvik
