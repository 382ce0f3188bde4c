#include "runtime_release.h"

#include <cctype>
#include <fstream>
#include <sstream>

#include "platform/platform.h"

namespace {

// A runtime's release file lies at most this many directories above its VM
// library (a Java 8 JDK: jdk/jre/lib/amd64/server/libjvm.so).
constexpr int releaseFileLevels = 5;
// A release file is a few kilobytes; anything larger is not one.
constexpr std::streamsize longestReleaseFile = 64 * 1024;

// The directory part of path, or "" when it has none.
std::string directoryOf(const std::string& path) {
    std::size_t end = path.size();
    while (end > 0 && !platform::isPathSeparator(path[end - 1])) --end;
    while (end > 1 && platform::isPathSeparator(path[end - 1])) --end;
    return end == 0 ? std::string() : path.substr(0, end);
}

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

std::optional<int> runtimeFeatureVersion(const std::string& runtimeLibraryPath) {
    std::string directory = directoryOf(runtimeLibraryPath);
    for (int level = 0; level < releaseFileLevels && !directory.empty(); ++level) {
        const std::string release = directory + platform::pathSeparator + "release";
        // Only a regular file is read: a FIFO or a device would never end.
        if (platform::isRegularFile(release)) {
            std::ifstream in(release, std::ios::binary);
            std::string text(static_cast<std::size_t>(longestReleaseFile), '\0');
            in.read(text.data(), longestReleaseFile);
            text.resize(static_cast<std::size_t>(in.gcount()));
            std::istringstream lines(text);
            const std::optional<std::string> version = javaVersionIn(lines);
            return version ? featureVersionOf(*version) : std::nullopt;
        }
        const std::string parent = directoryOf(directory);
        if (parent == directory) break;
        directory = parent;
    }
    return std::nullopt;
}
