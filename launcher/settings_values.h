// LaunchConfig.ini's values as the launcher reads them from the parsed file:
// each key by its kind, and every mistake in the file named once, on a line
// of its own that begins "LaunchConfig.ini: ". A mistake never stops the
// launch and the file is never rewritten for it: the entry has no effect, or
// the value takes its key's default, or the part of it that can be read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <boost/property_tree/ptree.hpp>

namespace tessvik {

using SettingsTree = boost::property_tree::ptree;

// Names each section and key the launcher does not read, with the known name
// it most likely means: one that differs in letter case or by a small edit,
// or the same key in another section.
void nameUnknownEntries(const SettingsTree& tree);

// A boolean key: 1, 0, true or false, in lower case. Anything else counts as
// fallback, and is named.
bool readBoolean(const SettingsTree& tree, const char* section, const char* key, bool fallback);

// A Debug key: the lowest bit of a decimal integer. A value that is not one
// counts as 0, and is named.
std::uint32_t readDebugFlag(const SettingsTree& tree, const char* section, const char* key);

// A heap size, or a name the launcher needs (the main jar, the main class):
// an empty value takes fallback, and is named. A heap size never holds ';' or
// '#', so a comment after one is dropped, and named.
enum class ValueKind { size, name };
std::string readRequired(const SettingsTree& tree, const char* section, const char* key,
                         const std::string& fallback, ValueKind kind);

// A text key, "" when missing; an empty value stays empty.
std::string readText(const SettingsTree& tree, const char* section, const char* key);

// Every value of the VMParams section, in file order, whatever its key.
std::vector<std::string> readVmParams(const SettingsTree& tree);

// The known name closest to given, or "" when none is close: the same
// letters in another case, a small edit (two letters for a name of four or
// more), or one name the start of the other (at least three letters).
std::string closestName(const std::string& given, const std::vector<std::string>& known);

}  // namespace tessvik
