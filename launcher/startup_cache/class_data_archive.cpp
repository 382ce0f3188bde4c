#include "class_data_archive.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/directories.h"
#include "platform/files.h"
#include "platform/locks.h"
#include "platform/paths.h"

namespace tessvik {

namespace {

// The header of every archive lies within its first page; the VM writes its
// regions from page boundaries on and ends the file on one.
constexpr std::size_t pageSize = 4096;
constexpr std::uint32_t staticArchiveMagic = 0xf00baba2;
constexpr std::uint32_t dynamicArchiveMagic = 0xf00baba8;
constexpr std::size_t versionOffset = 8;
// The VM identity text ("OpenJDK 64-Bit Server VM (17.0.15+6-...) for
// linux-amd64 JRE (...), built on ...") is found by this part of it.
constexpr const char* identityMarker = " VM (";

// The region table of archive version 11 (Java 17): seven records of 72
// bytes from offset 16, each with the region's offset in the file and its
// used size as 64-bit values at 24 and 40.
struct RegionTable {
    std::uint32_t version;
    std::size_t start, count, stride, fileOffsetAt, usedAt;
};
constexpr RegionTable knownRegionTables[] = {{11, 16, 7, 72, 24, 40}};

std::vector<unsigned char> firstPage(const std::string& path) {
    const platform::FileContent content =
        platform::readFile(path, pageSize, platform::OverLimit::cut);
    return std::vector<unsigned char>(content.bytes.begin(), content.bytes.end());
}

std::uint64_t littleEndian(const std::vector<unsigned char>& bytes, std::size_t at, int size) {
    std::uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = (value << 8) | bytes[at + static_cast<std::size_t>(i)];
    }
    return value;
}

// Where the VM identity text begins and ends in a header; begin == end when
// there is none.
std::pair<std::size_t, std::size_t> identitySpan(const std::vector<unsigned char>& header) {
    const std::size_t markerLength = std::strlen(identityMarker);
    for (std::size_t at = 0; at + markerLength <= header.size(); ++at) {
        if (std::memcmp(&header[at], identityMarker, markerLength) != 0) continue;
        std::size_t begin = at;
        while (begin > 0 && header[begin - 1] != 0) --begin;
        std::size_t end = at;
        while (end < header.size() && header[end] != 0) ++end;
        if (end < header.size()) return {begin, end};
        break;
    }
    return {0, 0};
}

bool holdsEveryRegion(const std::vector<unsigned char>& header, std::uint64_t fileSize) {
    const auto version = static_cast<std::uint32_t>(littleEndian(header, versionOffset, 4));
    for (const RegionTable& table : knownRegionTables) {
        if (table.version != version) continue;
        for (std::size_t i = 0; i < table.count; ++i) {
            const std::size_t record = table.start + i * table.stride;
            const std::uint64_t offset = littleEndian(header, record + table.fileOffsetAt, 8);
            const std::uint64_t used = littleEndian(header, record + table.usedAt, 8);
            if (used > 0 && (offset > fileSize || used > fileSize - offset)) return false;
        }
    }
    return true;
}

}  // namespace

bool isCompleteDynamicArchive(const std::string& archivePath, const std::string& baseArchivePath) {
    const platform::FileStatus status = platform::fileStatus(archivePath);
    if (!platform::fileStatus(archivePath).isRegularFile() || status.size < pageSize ||
        status.size % pageSize != 0) {
        return false;
    }
    const std::vector<unsigned char> header = firstPage(archivePath);
    const std::vector<unsigned char> base = firstPage(baseArchivePath);
    if (header.size() != pageSize || base.size() != pageSize) return false;
    if (littleEndian(header, 0, 4) != dynamicArchiveMagic ||
        littleEndian(base, 0, 4) != staticArchiveMagic) {
        return false;
    }
    const auto [begin, end] = identitySpan(base);
    if (begin == end || header[end] != 0 ||
        std::memcmp(&header[begin], &base[begin], end - begin) != 0) {
        return false;
    }
    return holdsEveryRegion(header, status.size);
}

}  // namespace tessvik
