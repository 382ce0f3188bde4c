#include "class_path_reach.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <optional>
#include <set>
#include <string_view>

#include "platform/files.h"
#include "platform/paths.h"
#include "starts_with.h"

namespace tessvik {

namespace {

constexpr const char* classPathOption = "-Djava.class.path=";
constexpr const char* manifestName = "META-INF/MANIFEST.MF";
// A zip's end record, with its longest comment.
constexpr std::uint64_t longestEnd = 22 + 0xffff;
// Beyond these, a jar's index or manifest is not one the launcher reads: the
// cache then covers the jar alone.
constexpr std::uint32_t longestDirectory = 64 << 20;
constexpr std::uint32_t longestManifest = 1 << 20;

std::uint32_t little(const std::string& bytes, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

// size bytes of the open file from offset; "" when it holds fewer.
std::string bytesAt(std::ifstream& file, std::uint64_t offset, std::uint64_t size) {
    std::string bytes(static_cast<std::size_t>(size), '\0');
    file.clear();
    file.seekg(static_cast<std::streamoff>(offset));
    if (!file.read(&bytes[0], static_cast<std::streamsize>(size))) return {};
    return bytes;
}

// Where a stored entry's data begins, how it is compressed and how long it
// is, from the zip's central directory.
struct ZipEntry {
    std::uint64_t headerOffset = 0;
    std::uint32_t method = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t size = 0;
};

// The manifest's entry in the zip's central directory, its name's letter
// case ignored as the JDK ignores it; nothing without one.
std::optional<ZipEntry> manifestEntry(std::ifstream& file, std::uint64_t fileSize) {
    const std::uint64_t tailSize = std::min(fileSize, longestEnd);
    const std::string tail = bytesAt(file, fileSize - tailSize, tailSize);
    const std::size_t end = tail.rfind(std::string("PK\x05\x06", 4));
    if (tail.empty() || end == std::string::npos || end + 22 > tail.size()) return std::nullopt;
    const std::uint32_t directorySize = little(tail, end + 12, 4);
    const std::uint32_t directoryOffset = little(tail, end + 16, 4);
    if (directorySize > longestDirectory) return std::nullopt;
    const std::string directory = bytesAt(file, directoryOffset, directorySize);
    for (std::size_t at = 0; at + 46 <= directory.size();) {
        if (little(directory, at, 4) != 0x02014b50) return std::nullopt;
        const std::size_t nameLength = little(directory, at + 28, 2);
        const std::size_t recordLength =
            46 + nameLength + little(directory, at + 30, 2) + little(directory, at + 32, 2);
        if (at + 46 + nameLength > directory.size()) return std::nullopt;
        if (equalsIgnoringCase(std::string_view(directory).substr(at + 46, nameLength),
                               manifestName)) {
            return ZipEntry{little(directory, at + 42, 4), little(directory, at + 10, 2),
                            little(directory, at + 20, 4), little(directory, at + 24, 4)};
        }
        at += recordLength;
    }
    return std::nullopt;
}

std::optional<std::string> inflated(const std::string& compressed, std::uint32_t size) {
    std::string text(size, '\0');
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return std::nullopt;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = static_cast<uInt>(compressed.size());
    stream.next_out = reinterpret_cast<Bytef*>(&text[0]);
    stream.avail_out = static_cast<uInt>(text.size());
    const int result = inflate(&stream, Z_FINISH);
    inflateEnd(&stream);
    if (result != Z_STREAM_END || stream.total_out != size) return std::nullopt;
    return text;
}

// The text of the jar's manifest; nothing without one.
std::optional<std::string> manifestText(const std::string& jarPath) {
    // Only a regular file is opened: a FIFO would keep the launch waiting.
    const platform::FileStatus status = platform::fileStatus(jarPath);
    if (!status.isRegularFile()) return std::nullopt;
    std::ifstream file(jarPath, std::ios::binary);
    const std::optional<ZipEntry> entry = file ? manifestEntry(file, status.size) : std::nullopt;
    if (!entry || entry->size > longestManifest || entry->compressedSize > longestManifest) {
        return std::nullopt;
    }
    const std::string header = bytesAt(file, entry->headerOffset, 30);
    if (header.empty() || little(header, 0, 4) != 0x04034b50) return std::nullopt;
    const std::uint64_t data =
        entry->headerOffset + 30 + little(header, 26, 2) + little(header, 28, 2);
    const std::string stored = bytesAt(file, data, entry->compressedSize);
    if (stored.size() != entry->compressedSize) return std::nullopt;
    if (entry->method == 0) return stored;
    if (entry->method == 8) return inflated(stored, entry->size);
    return std::nullopt;
}

// The main section's Class-Path value: lines end in CR LF, LF or CR, a line
// that begins with a blank continues the one before, names ignore case, and
// the main section ends at the first empty line.
std::string classPathAttribute(const std::string& manifest) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t at = 0; at <= manifest.size(); ++at) {
        const char c = at < manifest.size() ? manifest[at] : '\n';
        if (c != '\r' && c != '\n') {
            line += c;
            continue;
        }
        if (c == '\r' && at + 1 < manifest.size() && manifest[at + 1] == '\n') ++at;
        if (line.empty()) break;
        if (line[0] == ' ' && !lines.empty()) {
            lines.back() += line.substr(1);
        } else {
            lines.push_back(line);
        }
        line.clear();
    }
    const std::string name = "class-path:";
    for (const std::string& each : lines) {
        if (!equalsIgnoringCase(std::string_view(each).substr(0, name.size()), name)) continue;
        return each.substr(name.size());
    }
    return {};
}

// A URL's path with its %XX escapes decoded.
std::string decodedUrl(const std::string& text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            decoded += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

// The path a Class-Path entry names, relative URLs below folder; "" for one
// the JDK does not follow (another scheme).
std::string entryPath(const std::string& entry, const std::string& folder) {
    const std::size_t colon = entry.find(':');
    const std::size_t slash = entry.find('/');
    // A scheme has two letters at least: "C:/x" is a drive's path.
    const bool hasScheme =
        colon != std::string::npos && colon > 1 && (slash == std::string::npos || colon < slash);
    if (hasScheme && !startsWith(entry, "file:")) return {};
    std::string url = hasScheme ? entry.substr(5) : entry;
    // file://host/path: the host's part is not a path's.
    if (hasScheme && startsWith(url, "//")) url.erase(0, std::min(url.find('/', 2), url.size()));
    std::string path;
    for (const char c : decodedUrl(url)) path += c == '/' ? platform::pathSeparator : c;
    return platform::withDotSegmentsResolved(
        platform::isAbsolutePath(path) ? path : platform::joinPath(folder, path));
}

}  // namespace

std::vector<std::string> effectiveClassPath(const std::vector<GivenVmOption>& options,
                                            const std::string& directory) {
    std::string value;
    for (const GivenVmOption& option : options) {
        if (startsWith(option.text, classPathOption)) {
            value = option.text.substr(std::string(classPathOption).size());
        }
    }
    std::vector<std::string> entries;
    for (std::size_t from = 0; from <= value.size();) {
        std::size_t to = value.find(platform::classPathSeparator, from);
        if (to == std::string::npos) to = value.size();
        const std::string entry = value.substr(from, to - from);
        if (!entry.empty()) {
            entries.push_back(
                platform::isAbsolutePath(entry) ? entry : platform::joinPath(directory, entry));
        }
        from = to + 1;
    }
    return entries;
}

std::vector<std::string> manifestClassPath(const std::string& jarPath) {
    const std::optional<std::string> manifest = manifestText(jarPath);
    std::vector<std::string> entries;
    if (!manifest) return entries;
    const std::string folder = platform::directoryOf(jarPath);
    const std::string value = classPathAttribute(*manifest);
    for (std::size_t from = 0; from < value.size();) {
        const std::size_t start = value.find_first_not_of(' ', from);
        if (start == std::string::npos) break;
        const std::size_t end = std::min(value.find(' ', start), value.size());
        const std::string path = entryPath(value.substr(start, end - start), folder);
        if (!path.empty()) entries.push_back(path);
        from = end;
    }
    return entries;
}

std::vector<std::string> reachableClassPath(const std::vector<std::string>& classPath) {
    std::vector<std::string> reached;
    std::set<std::string> seen;
    // Depth first, each jar's entries right after it, as the JDK searches them.
    std::vector<std::string> pending(classPath.rbegin(), classPath.rend());
    while (!pending.empty()) {
        const std::string entry = pending.back();
        pending.pop_back();
        if (!seen.insert(entry).second) continue;
        reached.push_back(entry);
        // A folder adds nothing; a jar's manifest is read only from a regular file.
        if (platform::isPathSeparator(entry.back())) continue;
        const std::vector<std::string> added = manifestClassPath(entry);
        pending.insert(pending.end(), added.rbegin(), added.rend());
    }
    return reached;
}

}  // namespace tessvik
