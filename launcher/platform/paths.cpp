// The parts of a path, by the platform's separators: the one place where the
// launcher takes a path apart, so that every step agrees on its edge cases.
#include <cstddef>
#include <string>
#include <vector>

#include "paths.h"

namespace tessvik::platform {

namespace {

// Where path ends once separators at its end are dropped; the root's own
// separator stays.
std::size_t endWithoutTrailingSeparators(const std::string& path) {
    std::size_t end = path.size();
    while (end > 1 && isPathSeparator(path[end - 1])) --end;
    return end;
}

// Where the last component of path[0, end) begins.
std::size_t lastComponentStart(const std::string& path, std::size_t end) {
    std::size_t begin = end;
    while (begin > 0 && !isPathSeparator(path[begin - 1])) --begin;
    return begin;
}

}  // namespace

std::string directoryOf(const std::string& path) {
    const std::size_t end = endWithoutTrailingSeparators(path);
    std::size_t begin = lastComponentStart(path, end);
    if (begin == end) return path.substr(0, end);  // the root, or ""
    while (begin > 1 && isPathSeparator(path[begin - 1])) --begin;
    return path.substr(0, begin);
}

std::string lastComponentOf(const std::string& path) {
    const std::size_t end = endWithoutTrailingSeparators(path);
    const std::size_t begin = lastComponentStart(path, end);
    return path.substr(begin, end - begin);
}

std::string withDotSegmentsResolved(const std::string& path) {
    std::vector<std::string> segments;
    std::string segment;
    for (std::size_t at = 0; at <= path.size(); ++at) {
        if (at < path.size() && !isPathSeparator(path[at])) {
            segment += path[at];
            continue;
        }
        if (segment == ".." && !segments.empty() && !segments.back().empty() &&
            segments.back() != "..") {
            segments.pop_back();
        } else if (segment != "." && !(segment.empty() && !segments.empty())) {
            segments.push_back(segment);
        }
        segment.clear();
    }
    std::string resolved;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (i > 0) resolved += pathSeparator;
        resolved += segments[i];
    }
    if (!path.empty() && isPathSeparator(path.back())) resolved += pathSeparator;
    return resolved;
}

bool isAbsolutePath(const std::string& path) {
    // "C:\..." names a drive's root; "\\server\share" and "/x" the root.
    return (!path.empty() && isPathSeparator(path[0])) || (path.size() > 1 && path[1] == ':');
}

}  // namespace tessvik::platform
