#include "main_thread_stack.h"

#include <limits>

#include "platform/processes.h"
#include "starts_with.h"

namespace tessvik {

namespace {

// The launcher's own frames below main's, and HotSpot's guard pages.
constexpr std::uint64_t launcherFrames = 1 << 20;
constexpr std::uint64_t largest = std::numeric_limits<std::uint64_t>::max();

// A size as HotSpot writes it: digits, then at most one of k, m, g, t (any
// case); without one, in units of unit. Nothing for any other text, or a size
// beyond 64 bits.
std::optional<std::uint64_t> sizeWithUnit(const std::string& text, std::uint64_t unit) {
    const std::size_t digits = text.find_first_not_of("0123456789");
    if (digits == 0 || text.empty() || (digits != std::string::npos && digits + 1 != text.size())) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < text.size() && i != digits; ++i) {
        const std::uint64_t digit = static_cast<std::uint64_t>(text[i] - '0');
        if (value > (largest - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    if (digits != std::string::npos) {
        const std::string units = "kmgt";
        const std::size_t at = units.find(static_cast<char>(text[digits] | 0x20));
        if (at == std::string::npos) return std::nullopt;
        unit = std::uint64_t(1) << (10 * (at + 1));
    }
    if (value > largest / unit) return std::nullopt;
    return value * unit;
}

std::string mebibytes(std::uint64_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

}  // namespace

std::optional<std::uint64_t> requestedThreadStack(const std::vector<GivenVmOption>& options) {
    for (auto each = options.rbegin(); each != options.rend(); ++each) {
        if (startsWith(each->text, "-Xss")) return sizeWithUnit(each->text.substr(4), 1);
        if (xxOptionName(each->text) == "ThreadStackSize") {
            const std::size_t equals = each->text.find('=');
            if (equals == std::string::npos) return std::nullopt;
            return sizeWithUnit(each->text.substr(equals + 1), 1024);
        }
    }
    return std::nullopt;
}

std::string ensureMainThreadStack(const std::vector<GivenVmOption>& options,
                                  const std::vector<std::string>& asGiven,
                                  platform::LaunchStart start) {
    const std::optional<std::uint64_t> wanted = requestedThreadStack(options);
    if (!wanted || *wanted > largest - launcherFrames) return {};
    const std::uint64_t needed = *wanted + launcherFrames;
    if (needed <= platform::mainThreadStackSize()) return {};
    platform::growMainThreadStack(needed, asGiven, start);
    const std::uint64_t has = platform::mainThreadStackSize();
    if (needed <= has) return {};
    return "The main thread's stack is " + mebibytes(has) + "; the VM options ask for " +
           mebibytes(*wanted) + ", which this system does not allow";
}

}  // namespace tessvik
