#include "main_thread_stack.h"

#include <boost/property_tree/ptree.hpp>

#include "platform/platform.h"
#include "settings_file.h"

namespace {

// The launcher's own frames below main's, and HotSpot's guard pages.
constexpr std::uint64_t launcherFrames = 1 << 20;

std::optional<std::uint64_t> sizeWithUnit(const std::string& text, std::uint64_t unit) {
    if (text.empty() || text.find_first_not_of("0123456789kKmMgGtT") != std::string::npos) {
        return std::nullopt;
    }
    const std::size_t digits = text.find_first_not_of("0123456789");
    if (digits == 0 || (digits != std::string::npos && digits + 1 != text.size())) {
        return std::nullopt;
    }
    std::uint64_t value = std::stoull(text.substr(0, digits));
    if (digits != std::string::npos) {
        const std::string units = "kmgt";
        const std::size_t power = units.find(static_cast<char>(text[digits] | 0x20)) + 1;
        for (std::size_t i = 0; i < power; ++i) value <<= 10;
        return value;
    }
    return value * unit;
}

std::vector<std::string> settingsVmParams(const std::string& settingsFile) {
    std::vector<std::string> params;
    try {
        boost::property_tree::ptree tree;
        readSettingsFile(settingsFile, tree, nullptr);
        for (const auto& entry : tree.get_child("VMParams")) {
            params.push_back(entry.second.get_value<std::string>());
        }
    } catch (const std::exception&) {
        // No readable settings or no VMParams: the launch says why later.
    }
    return params;
}

std::string mebibytes(std::uint64_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

}  // namespace

std::optional<std::uint64_t> requestedThreadStack(const std::vector<GivenVmOption>& options) {
    for (auto each = options.rbegin(); each != options.rend(); ++each) {
        if (each->text.rfind("-Xss", 0) == 0) return sizeWithUnit(each->text.substr(4), 1);
        if (xxOptionName(each->text) == "ThreadStackSize") {
            const std::size_t equals = each->text.find('=');
            if (equals == std::string::npos) return std::nullopt;
            return sizeWithUnit(each->text.substr(equals + 1), 1024);
        }
    }
    return std::nullopt;
}

void ensureMainThreadStack(const std::string& settingsFile) {
    platform::growMainThreadStack([&]() -> std::uint64_t {
        const std::optional<std::uint64_t> wanted = requestedThreadStack(
            givenVmOptions(settingsVmParams(settingsFile), optionVariablesOfEnvironment()));
        return wanted ? *wanted + launcherFrames : 0;
    });
}

std::string mainThreadStackShortfall(const std::vector<GivenVmOption>& options) {
    const std::optional<std::uint64_t> wanted = requestedThreadStack(options);
    const std::uint64_t has = platform::mainThreadStackSize();
    if (!wanted || *wanted + launcherFrames <= has) return {};
    return "The main thread's stack is " + mebibytes(has) + "; the VM options ask for " +
           mebibytes(*wanted) + ", which this system does not allow";
}
