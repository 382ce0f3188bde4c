// Directory-listing rules of the Windows file system, for platforms whose own
// directory search has none: wildcard patterns that ignore letter case, and
// the order in which NTFS lists a directory.
#pragma once

#include <string>
#include <vector>

// True when name matches pattern: "*" stands for any run of characters, "?"
// for exactly one character, every other character for itself with ASCII
// letter case ignored. "*.*" matches every name, with or without a dot.
bool matchesWildcard(const std::string& pattern, const std::string& name);

// The NTFS listing order: ordinal comparison of the names with ASCII letters
// upper-cased. Names equal in that comparison (possible only where letter
// case matters) keep a fixed order by their bytes.
bool listsBefore(const std::string& left, const std::string& right);
