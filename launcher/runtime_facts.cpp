#include "runtime_facts.h"

#include <cctype>
#include <cstdint>
#include <sstream>
#include <vector>

#include "platform/files.h"
#include "platform/libraries.h"
#include "platform/paths.h"
#include "starts_with.h"

namespace tessvik {

namespace {

// A runtime's release file lies at most this many directories above its VM
// library (a Java 8 JDK: jdk/jre/lib/amd64/server/libjvm.so).
constexpr int releaseFileLevels = 5;
// A release file is a few kilobytes; anything larger is not one.
constexpr std::uint64_t longestReleaseFile = 64 * 1024;
// A runtime's options are a line or two; a larger resource is not options.
constexpr std::int64_t longestImageOptions = 1 << 16;

// The image library's entry points, as the runtime exports them.
struct ImageFile;
using ImageOpen = ImageFile* (*)(const char* path, std::int32_t* error);
using ImageFindResource = std::int64_t (*)(ImageFile* image, const char* module,
                                           const char* version, const char* name,
                                           std::int64_t* size);
using ImageGetResource = std::int64_t (*)(ImageFile* image, std::int64_t location, char* buffer,
                                          std::int64_t size);

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
        if (!startsWith(line, key)) continue;
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
        const std::string release = platform::joinPath(directory, "release");
        // Only a regular file is read: a FIFO or a device would never end.
        if (platform::fileStatus(release).isRegularFile()) return release;
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

std::optional<std::string> runtimeImageOptions(const std::string& runtimeLibraryPath) {
    // <home>/lib/server/libjvm.so or <home>\bin\server\jvm.dll: the image
    // library sits in the directory above the VM's, the image in <home>/lib.
    const std::string libraries =
        platform::directoryOf(platform::directoryOf(platform::resolvedPath(runtimeLibraryPath)));
    const std::string image =
        platform::joinPath(platform::joinPath(platform::directoryOf(libraries), "lib"), "modules");
    const std::string imageLibrary = platform::joinPath(libraries, platform::imageLibraryName);
    if (!platform::fileStatus(image).isRegularFile() ||
        !platform::fileStatus(imageLibrary).isRegularFile())
        return {};
    const platform::ResidentLibrary library = platform::ResidentLibrary::load(imageLibrary);
    const auto open = reinterpret_cast<ImageOpen>(library.symbol("JIMAGE_Open"));
    const auto find = reinterpret_cast<ImageFindResource>(library.symbol("JIMAGE_FindResource"));
    const auto get = reinterpret_cast<ImageGetResource>(library.symbol("JIMAGE_GetResource"));
    if (open == nullptr || find == nullptr || get == nullptr) return {};
    std::int32_t error = 0;
    ImageFile* const file = open(image.c_str(), &error);
    if (file == nullptr) return {};
    std::int64_t size = 0;
    const std::int64_t location = find(file, "java.base", "", "jdk/internal/vm/options", &size);
    if (location == 0 || size <= 0 || size > longestImageOptions) return {};
    std::vector<char> text(static_cast<std::size_t>(size));
    if (get(file, location, text.data(), size) != size) return {};
    return std::string(text.begin(), text.end());
}

}  // namespace tessvik
