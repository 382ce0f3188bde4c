#include "java_options.h"

#include <algorithm>

#include "platform/paths.h"
#include "starts_with.h"

namespace tessvik {

namespace {

// java's options that take their value as the next word; the VM takes each
// as one "name=value".
constexpr const char* twoWordOptions[] = {
    "--add-opens",     "--add-exports",  "--add-reads",
    "--add-modules",   "--module-path",  "--upgrade-module-path",
    "--limit-modules", "--patch-module", "--enable-native-access",
};
constexpr const char* splashPrefix = "-splash:";
constexpr const char* blanks = " \t";

// The VM's name for word when it is one of java's two-word options, else "".
std::string twoWordName(const std::string& word) {
    if (word == "-p") return "--module-path";
    const auto found = std::find(std::begin(twoWordOptions), std::end(twoWordOptions), word);
    return found == std::end(twoWordOptions) ? std::string() : *found;
}

}  // namespace

JavaOptions javaOptionsOf(const std::vector<std::string>& vmParams,
                          const std::string& gameDirectory) {
    JavaOptions options;
    for (std::size_t i = 0; i < vmParams.size(); ++i) {
        const std::string& param = vmParams[i];
        const std::size_t blank = param.find_first_of(blanks);
        const std::string name = twoWordName(param.substr(0, blank));
        const std::size_t value =
            blank == std::string::npos ? blank : param.find_first_not_of(blanks, blank);
        if (!name.empty() && value != std::string::npos) {
            options.vmOptions.push_back(name + "=" + param.substr(value));
        } else if (!name.empty() && i + 1 < vmParams.size()) {
            options.vmOptions.push_back(name + "=" + vmParams[++i]);
        } else if (startsWith(param, splashPrefix)) {
            const std::string image = param.substr(std::string(splashPrefix).size());
            options.splashImage = image.empty() || platform::isAbsolutePath(image)
                                      ? image
                                      : platform::joinPath(gameDirectory, image);
        } else if (param != "-client" && param != "-server") {
            // A two-word option without its value is the VM's to refuse.
            options.vmOptions.push_back(param);
        }
    }
    return options;
}

std::vector<std::string> withJavaCommand(std::vector<std::string> options,
                                         const std::string& mainClass,
                                         const std::vector<std::string>& programArgs) {
    std::string command = mainClass;
    std::replace(command.begin(), command.end(), '/', '.');
    for (std::size_t i = 1; i < programArgs.size(); ++i) command += ' ' + programArgs[i];
    options.push_back("-Dsun.java.command=" + command);
    return options;
}

}  // namespace tessvik
