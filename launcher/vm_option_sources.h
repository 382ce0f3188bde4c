// Every option the Java VM takes besides the launcher's own, from every
// source HotSpot reads, in the order it applies them (a later one wins): the
// last -XX:Flags= file named, the runtime image's own options, then
// JAVA_TOOL_OPTIONS, the settings' VMParams and _JAVA_OPTIONS, each
// -XX:VMOptionsFile= expanded where it stands. An option file that cannot be
// read whole stays as the option that names it. What the launcher adds to the VM's options
// (a start-up cache, a crash report's place) must agree with all of them,
// not only with the settings file.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tessvik {

// Where the VM takes an option from, in the order it applies them.
enum class OptionOrigin {
    flagsFile,        // the last -XX:Flags= file named
    runtimeImage,     // options the runtime was made with (jlink --add-options)
    javaToolOptions,  // JAVA_TOOL_OPTIONS
    launcher,         // the launcher's own options, given when it creates the VM
    vmParams,         // the settings' VMParams, given with the launcher's
    javaOptions,      // _JAVA_OPTIONS
};

struct GivenVmOption {
    std::string text;    // as the VM takes it: "-Xshare:off", "-XX:+UseSharedSpaces"
    std::string source;  // "VMParams", "JAVA_TOOL_OPTIONS", "_JAVA_OPTIONS",
                         // "the runtime image", or a file
    OptionOrigin origin = OptionOrigin::vmParams;  // an option file's: where it was named
};

// The option texts from outside the settings: the two variables as the
// environment holds them, and the runtime image's (nothing when unset).
struct OptionVariables {
    std::optional<std::string> javaToolOptions;
    std::optional<std::string> javaOptions;
    std::optional<std::string> runtimeImage;
};
OptionVariables optionVariablesOfEnvironment();

// The options of vmParams and the option texts, in the order the VM applies
// them (a later one of the same name wins), with the option files they name
// read and expanded.
std::vector<GivenVmOption> givenVmOptions(const std::vector<std::string>& vmParams,
                                          const OptionVariables& variables);

// HotSpot's split of an option text (a variable's value, a VMOptionsFile's
// content): white space separates, and single or double quotes keep white
// space within one option.
std::vector<std::string> splitOptionText(const std::string& text);

// The options of a -XX:Flags= file: one flag a token, written without its
// "-XX:" ("+UseSharedSpaces", "SharedArchiveFile=x"), '#' starting a comment.
std::vector<std::string> flagsFileOptions(const std::string& content);

// The name of a -XX: option ("UseSharedSpaces" for "-XX:-UseSharedSpaces",
// "ErrorFile" for "-XX:ErrorFile=x"), or "" for any other option.
std::string xxOptionName(const std::string& option);

// The last given option named name (an -XX: name, or "-Xss"-like prefix of
// another option), or nothing.
std::optional<GivenVmOption> lastOptionNamed(const std::vector<GivenVmOption>& options,
                                             const std::string& name);

}  // namespace tessvik
