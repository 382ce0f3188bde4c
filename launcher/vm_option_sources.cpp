#include "vm_option_sources.h"

#include <cctype>
#include <cstdlib>

#include "platform/files.h"
#include "starts_with.h"

namespace tessvik {

namespace {

constexpr const char* vmOptionsFilePrefix = "-XX:VMOptionsFile=";
constexpr const char* flagsFilePrefix = "-XX:Flags=";
// An option file is a few lines. One beyond this is not read: the option
// that names it then stands as given, and whoever looks at the options sees
// that what it holds is not known.
constexpr std::uint64_t longestOptionFile = 16 << 20;

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::optional<std::string> fileText(const std::string& path) {
    platform::FileContent content = platform::readFile(path, longestOptionFile);
    if (content.outcome != platform::FileReadOutcome::read) return std::nullopt;
    return std::move(content.bytes);
}

// Adds option, or the options of the VMOptionsFile it names, in its place;
// the Flags files it names are kept apart: the VM reads the last one first.
void add(std::vector<GivenVmOption>& options, std::vector<GivenVmOption>& flagsFiles,
         const std::string& option, const std::string& source, OptionOrigin origin) {
    const std::optional<std::string> text =
        startsWith(option, vmOptionsFilePrefix)
            ? fileText(option.substr(std::string(vmOptionsFilePrefix).size()))
            : std::nullopt;
    if (text) {
        const std::string file = option.substr(std::string(vmOptionsFilePrefix).size());
        for (const std::string& each : splitOptionText(*text)) {
            // An options file may not name another; the VM refuses that itself.
            if (!startsWith(each, vmOptionsFilePrefix)) {
                add(options, flagsFiles, each, file, origin);
            }
        }
    } else if (startsWith(option, flagsFilePrefix)) {
        flagsFiles.push_back({option.substr(std::string(flagsFilePrefix).size()), source, origin});
    } else {
        options.push_back({option, source, origin});
    }
}

}  // namespace

OptionVariables optionVariablesOfEnvironment() {
    OptionVariables variables;
    if (const char* value = std::getenv("JAVA_TOOL_OPTIONS")) variables.javaToolOptions = value;
    if (const char* value = std::getenv("_JAVA_OPTIONS")) variables.javaOptions = value;
    return variables;
}

std::vector<GivenVmOption> givenVmOptions(const std::vector<std::string>& vmParams,
                                          const OptionVariables& variables) {
    std::vector<GivenVmOption> options;
    std::vector<GivenVmOption> flagsFiles;
    const auto addText = [&](const std::optional<std::string>& text, const std::string& source,
                             OptionOrigin origin) {
        if (!text) return;
        for (const std::string& option : splitOptionText(*text)) {
            add(options, flagsFiles, option, source, origin);
        }
    };
    addText(variables.runtimeImage, "the runtime image", OptionOrigin::runtimeImage);
    addText(variables.javaToolOptions, "JAVA_TOOL_OPTIONS", OptionOrigin::javaToolOptions);
    for (const std::string& option : vmParams) {
        add(options, flagsFiles, option, "VMParams", OptionOrigin::vmParams);
    }
    addText(variables.javaOptions, "_JAVA_OPTIONS", OptionOrigin::javaOptions);
    if (flagsFiles.empty()) return options;
    // The VM reads the last Flags file named before every other source, so
    // that any other option wins over it.
    const GivenVmOption& flagsFile = flagsFiles.back();  // the file, and where it was named
    std::vector<GivenVmOption> ordered;
    if (const std::optional<std::string> text = fileText(flagsFile.text)) {
        for (const std::string& flag : flagsFileOptions(*text)) {
            ordered.push_back({"-XX:" + flag, flagsFile.text, OptionOrigin::flagsFile});
        }
    } else {
        ordered.push_back({flagsFilePrefix + flagsFile.text, flagsFile.source});
    }
    ordered.insert(ordered.end(), options.begin(), options.end());
    return ordered;
}

std::vector<std::string> splitOptionText(const std::string& text) {
    std::vector<std::string> options;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && isSpace(text[at])) ++at;
        if (at == text.size()) break;
        std::string option;
        while (at < text.size() && !isSpace(text[at])) {
            const char c = text[at++];
            if (c != '\'' && c != '"') {
                option += c;
                continue;
            }
            const std::size_t close = text.find(c, at);
            // An unmatched quote: the VM refuses the whole text.
            if (close == std::string::npos) return options;
            option += text.substr(at, close - at);
            at = close + 1;
        }
        options.push_back(option);
    }
    return options;
}

std::vector<std::string> flagsFileOptions(const std::string& content) {
    std::vector<std::string> flags;
    std::string token;
    bool inComment = false;
    char quote = 0;
    for (const char c : content) {
        if (token.empty() && quote == 0) {
            if (inComment) {
                inComment = c != '\n';
            } else if (c == '#') {
                inComment = true;
            } else if (!isSpace(c)) {
                token += c;
            }
        } else if (c == '\n' || (quote == 0 && isSpace(c))) {
            flags.push_back(token);
            token.clear();
            quote = 0;
        } else if (quote == 0 && (c == '\'' || c == '"')) {
            quote = c;
        } else if (c == quote) {
            quote = 0;
        } else {
            token += c;
        }
    }
    if (!token.empty()) flags.push_back(token);
    return flags;
}

std::string xxOptionName(const std::string& option) {
    if (!startsWith(option, "-XX:")) return {};
    std::string name = option.substr(4);
    if (!name.empty() && (name.front() == '+' || name.front() == '-')) name.erase(0, 1);
    return name.substr(0, name.find('='));
}

std::optional<GivenVmOption> lastOptionNamed(const std::vector<GivenVmOption>& options,
                                             const std::string& name) {
    for (auto each = options.rbegin(); each != options.rend(); ++each) {
        if (xxOptionName(each->text) == name ||
            (startsWith(name, "-") && startsWith(each->text, name))) {
            return *each;
        }
    }
    return std::nullopt;
}

}  // namespace tessvik
