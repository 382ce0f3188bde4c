#include "settings_values.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "game_layout.h"
#include "messages.h"

namespace tessvik {

namespace {

// The sections and keys the launcher reads; VMParams takes any key.
struct KnownSection {
    const char* name;
    std::vector<std::string> keys;
};

const KnownSection knownSections[] = {
    {"Runtime", {"OverrideDefaultJavaPath", "JavaPath", "ClassDataSharing"}},
    {"Memory", {"InitialHeap", "MaxHeapSize"}},
    {"Utility", {"CleanLogsOnStart"}},
    {"VMParams", {}},
    {"Debug", {"DebugMode", "VerboseJni", "VerboseGC", "VerboseClass", "ShowCrashNotice"}},
    {"Game", {"MainJar", "MainClass", "Name"}},
};

constexpr const char* vmParamsSection = "VMParams";

void nameMistake(const std::string& mistake) {
    writeOut(std::string(settingsFileName) + ": " + mistake);
}

std::string suggestion(const std::string& likely) {
    return likely.empty() ? std::string() : " (" + likely + "?)";
}

std::string entryText(const char* section, const std::string& key, const std::string& value) {
    return "[" + std::string(section) + "] " + key + "=" + value;
}

const KnownSection* knownSection(const std::string& name) {
    for (const KnownSection& section : knownSections) {
        if (name == section.name) return &section;
    }
    return nullptr;
}

// The known key closest to key in any section but except, with its section:
// "[Runtime] ClassDataSharing".
std::string keyElsewhere(const std::string& key, const KnownSection* except) {
    std::vector<std::string> keys;
    for (const KnownSection& section : knownSections) {
        if (&section != except) keys.insert(keys.end(), section.keys.begin(), section.keys.end());
    }
    const std::string closest = closestName(key, keys);
    for (const KnownSection& section : knownSections) {
        if (std::find(section.keys.begin(), section.keys.end(), closest) != section.keys.end()) {
            return "[" + std::string(section.name) + "] " + closest;
        }
    }
    return {};
}

void nameUnknownKeys(const KnownSection& section, const SettingsTree& entries) {
    if (section.name == std::string(vmParamsSection)) return;
    for (const auto& [key, value] : entries) {
        if (std::find(section.keys.begin(), section.keys.end(), key) != section.keys.end()) {
            continue;
        }
        std::string likely = closestName(key, section.keys);
        if (likely.empty()) likely = keyElsewhere(key, &section);
        nameMistake("[" + std::string(section.name) + "] has no key " + key + suggestion(likely));
    }
}

std::string lowerCase(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// Levenshtein distance: the fewest letters inserted, removed or replaced.
std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// How far given is from a known name (case ignored), or nothing when too far
// to be meant.
std::optional<std::size_t> nameDistance(const std::string& given, const std::string& known) {
    const std::string a = lowerCase(given);
    const std::string b = lowerCase(known);
    const std::size_t distance = editDistance(a, b);
    const std::size_t shorter = std::min(a.size(), b.size());
    const bool prefix = shorter >= 3 && a.compare(0, shorter, b, 0, shorter) == 0;
    if (distance == 0 || prefix || (distance <= 2 && a.size() >= 4)) return distance;
    return std::nullopt;
}

// A value with what cannot belong to it taken off, each named: a trailing
// comment (where the value never holds ';' or '#'), then quotes around the
// whole value.
std::string cleanValue(std::string value, const char* section, const std::string& key,
                       bool commentsDropped) {
    const std::size_t comment = commentsDropped ? value.find_first_of(";#") : std::string::npos;
    if (comment != std::string::npos) {
        std::string kept = value.substr(0, comment);
        kept.erase(kept.find_last_not_of(" \t") + 1);
        nameMistake(entryText(section, key, value) +
                    ": a comment stands only on a line of its own; " +
                    (kept.empty() ? std::string("nothing is left") : kept + " is used"));
        value = kept;
    }
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        const std::string unquoted = value.substr(1, value.size() - 2);
        nameMistake(entryText(section, key, value) + " is in quotes; " + unquoted + " is used");
        value = unquoted;
    }
    return value;
}

// The value of section.key, cleaned; nothing when the key is missing.
std::optional<std::string> valueOf(const SettingsTree& tree, const char* section, const char* key,
                                   bool commentsDropped) {
    const boost::optional<const SettingsTree&> node =
        tree.get_child_optional(std::string(section) + "." + key);
    if (!node) return std::nullopt;
    return cleanValue(node->data(), section, key, commentsDropped);
}

}  // namespace

void nameUnknownEntries(const SettingsTree& tree) {
    for (const auto& [entry, content] : tree) {
        // The reader drops a section without keys: what has none is a key.
        if (content.empty()) {
            nameMistake(entry + " stands before every section" +
                        suggestion(keyElsewhere(entry, nullptr)));
            continue;
        }
        if (const KnownSection* section = knownSection(entry)) {
            nameUnknownKeys(*section, content);
            continue;
        }
        std::vector<std::string> sections;
        for (const KnownSection& known : knownSections) sections.push_back(known.name);
        const std::string likely = closestName(entry, sections);
        nameMistake("no section [" + entry + "]" +
                    suggestion(likely.empty() ? "" : "[" + likely + "]"));
    }
}

bool readBoolean(const SettingsTree& tree, const char* section, const char* key, bool fallback) {
    const std::optional<std::string> value = valueOf(tree, section, key, true);
    if (!value) return fallback;
    // Boost's reading: a number 0 or 1, else the words true and false.
    if (const boost::optional<bool> read = SettingsTree(*value).get_value_optional<bool>()) {
        return *read;
    }
    nameMistake(entryText(section, key, *value) +
                " is not a boolean (1, 0, true or false); it counts as " +
                (fallback ? "true" : "false"));
    return fallback;
}

std::uint32_t readDebugFlag(const SettingsTree& tree, const char* section, const char* key) {
    const std::optional<std::string> value = valueOf(tree, section, key, false);
    if (!value) return 0;
    const boost::optional<int> read = SettingsTree(*value).get_value_optional<int>();
    if (!read) {
        nameMistake(entryText(section, key, *value) +
                    " is not a whole number (odd is on); it counts as 0");
        return 0;
    }
    return static_cast<std::uint32_t>(*read) & 1u;
}

std::string readRequired(const SettingsTree& tree, const char* section, const char* key,
                         const std::string& fallback, ValueKind kind) {
    const std::optional<std::string> value = valueOf(tree, section, key, kind == ValueKind::size);
    if (!value) return fallback;
    if (!value->empty()) return *value;
    nameMistake("[" + std::string(section) + "] " + key + " is empty; " +
                (fallback.empty() ? std::string("its default") : "the default " + fallback) +
                " is used");
    return fallback;
}

std::string readText(const SettingsTree& tree, const char* section, const char* key) {
    return valueOf(tree, section, key, false).value_or("");
}

std::vector<std::string> readVmParams(const SettingsTree& tree) {
    std::vector<std::string> params;
    const boost::optional<const SettingsTree&> section = tree.get_child_optional(vmParamsSection);
    if (!section) return params;
    for (const auto& [key, value] : *section) {
        params.push_back(cleanValue(value.data(), vmParamsSection, key, false));
    }
    return params;
}

std::string closestName(const std::string& given, const std::vector<std::string>& known) {
    std::string closest;
    std::size_t best = 0;
    for (const std::string& name : known) {
        const std::optional<std::size_t> distance = nameDistance(given, name);
        if (distance && (closest.empty() || *distance < best)) {
            closest = name;
            best = *distance;
        }
    }
    return closest;
}

}  // namespace tessvik
