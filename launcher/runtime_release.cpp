#include "runtime_release.h"

#include <cctype>
#include <cstdint>
#include <sstream>

#include "platform/platform.h"

namespace {

// A runtime's release file lies at most this many directories above its VM
// library (a Java 8 JDK: jdk/jre/lib/amd64/server/libjvm.so).
constexpr int releaseFileLevels = 5;
// A release file is a few kilobytes; anything larger is not one.
constexpr std::uint64_t longestReleaseFile = 64 * 1024;

std::optional<int> leadingNumber(const std::string& text, std::size_t& at) {
    if (at >= text.size() || !std::isdigit(static_cast<unsigned char>(text[at]))) {
        return std::nullopt;
    }
    int value = 0;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
        if (value > 100000) return std::nullopt;
        value = value * 10 + (text[at++] - '0');
    }
    return value;
}

// JAVA_VERSION's value in a release file's text, quotes removed.
std::optional<std::string> javaVersionIn(std::istream& in) {
    const std::string key = "JAVA_VERSION=";
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.compare(0, key.size(), key) != 0) continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        return value;
    }
    return std::nullopt;
}

}  // namespace

std::optional<int> featureVersionOf(const std::string& javaVersion) {
    std::size_t at = 0;
    std::optional<int> first = leadingNumber(javaVersion, at);
    if (first == 1 && at < javaVersion.size() && javaVersion[at] == '.') {
        ++at;
        return leadingNumber(javaVersion, at);
    }
    return first;
}

std::string runtimeReleaseFile(const std::string& runtimeLibraryPath) {
    std::string directory = platform::directoryOf(runtimeLibraryPath);
    for (int level = 0; level < releaseFileLevels && !directory.empty(); ++level) {
        const std::string release = directory + platform::pathSeparator + "release";
        // Only a regular file is read: a FIFO or a device would never end.
        if (platform::isRegularFile(release)) return release;
        const std::string parent = platform::directoryOf(directory);
        if (parent == directory) break;
        directory = parent;
    }
    return {};
}

std::optional<int> runtimeFeatureVersion(const std::string& runtimeLibraryPath) {
    const std::string release = runtimeReleaseFile(runtimeLibraryPath);
    if (release.empty()) return std::nullopt;
    const platform::FileContent content =
        platform::readFile(release, longestReleaseFile, platform::OverLimit::cut);
    std::istringstream lines(content.bytes);
    const std::optional<std::string> version = javaVersionIn(lines);
    return version ? featureVersionOf(*version) : std::nullopt;
}
