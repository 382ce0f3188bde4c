// What every system's directories share: the listing rules of the Windows
// file system, which platforms whose own directory search has none follow
// (wildcard patterns that ignore letter case, the order in which NTFS lists a
// directory), and making a directory with its missing parents.
#include <cstddef>

#include "directories.h"
#include "files.h"
#include "paths.h"

namespace tessvik::platform {

namespace {

unsigned char upper(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 'a' && byte <= 'z') ? static_cast<unsigned char>(byte - 'a' + 'A') : byte;
}

// Bytes 10xxxxxx continue a UTF-8 character; "?" takes them with their lead
// byte so that it stands for one character, not one byte.
bool continuesCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

bool matchesWildcard(const std::string& pattern, const std::string& name) {
    if (pattern == "*.*") return true;

    // Greedy matching with one back-tracking point: the most recent "*".
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starPattern = std::string::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starPattern = p++;
            starName = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            ++n;
            while (n < name.size() && continuesCharacter(name[n])) ++n;
        } else if (p < pattern.size() && upper(pattern[p]) == upper(name[n])) {
            ++p;
            ++n;
        } else if (starPattern != std::string::npos) {
            // Let the last "*" take one more character and retry from there.
            p = starPattern + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool listsBefore(const std::string& left, const std::string& right) {
    const std::size_t common = left.size() < right.size() ? left.size() : right.size();
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char l = upper(left[i]);
        const unsigned char r = upper(right[i]);
        if (l != r) return l < r;
    }
    if (left.size() != right.size()) return left.size() < right.size();
    return left < right;
}

bool makeDirectories(const std::string& path) {
    if (fileStatus(path).isDirectory()) return true;
    const std::string parent = directoryOf(path);
    if (parent.empty() || parent == path) return false;
    return makeDirectories(parent) && makeDirectory(path);
}

}  // namespace tessvik::platform
