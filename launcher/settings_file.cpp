#include "settings_file.h"

#include <fstream>
#include <locale>
#include <sstream>
#include <vector>

#include <boost/property_tree/ini_parser.hpp>

#include "platform/platform.h"

namespace pt = boost::property_tree;

namespace {

const std::string utf8ByteOrderMark = "\xEF\xBB\xBF";

enum class PathKind { missing, regularFile, directory, other };

PathKind kindOf(const std::string& path) {
    if (platform::isRegularFile(path)) return PathKind::regularFile;
    // A search for the bare path lists the path's own entry, if any.
    std::vector<platform::DirectoryEntry> own;
    if (!platform::listDirectory(path, "", own) || own.empty()) return PathKind::missing;
    return own.front().isDirectory ? PathKind::directory : PathKind::other;
}

[[noreturn]] void fail(SettingsFileFailure* failure, SettingsFileFault fault,
                       const std::string& reason, const std::string& path, unsigned long line = 0) {
    if (failure != nullptr) failure->fault = fault;
    throw pt::ini_parser_error(reason, path, line);
}

// The file's bytes, or the reader's error for what stands in its place.
std::string bytesOf(const std::string& path, SettingsFileFailure* failure) {
    using Outcome = platform::FileReadOutcome;
    // A directory gives what the INI reader gives when it reads one.
    if (kindOf(path) == PathKind::directory) {
        fail(failure, SettingsFileFault::notAFile, "read error", path, 1);
    }
    platform::FileContent content = platform::readFile(path, largestSettingsFile);
    switch (content.outcome) {
        case Outcome::read: return std::move(content.bytes);
        case Outcome::missing: fail(failure, SettingsFileFault::missing, "cannot open file", path);
        case Outcome::notRegularFile:
            fail(failure, SettingsFileFault::notAFile, "cannot open file", path);
        case Outcome::tooLarge:
            fail(failure, SettingsFileFault::tooLarge, "larger than 1 MiB", path);
        case Outcome::cannotOpen:
            fail(failure, SettingsFileFault::unreadable, "cannot open file", path);
        case Outcome::readError: break;
    }
    fail(failure, SettingsFileFault::unreadable, "read error", path);
}

}  // namespace

void readSettingsFile(const std::string& path, pt::ptree& tree, SettingsFileFailure* failure) {
    if (failure != nullptr) failure->isLink = platform::isSymbolicLink(path);
    const std::string bytes = bytesOf(path, failure);

    // The lines the INI reader saw when it opened the file itself: those of
    // a text-mode read. Editors that save UTF-8 with a byte-order mark would
    // otherwise put it in front of the first section's name.
    std::string text = platform::textModeText(bytes);
    if (text.compare(0, utf8ByteOrderMark.size(), utf8ByteOrderMark) == 0) {
        text.erase(0, utf8ByteOrderMark.size());
    }
    std::istringstream lines(std::move(text));
    lines.imbue(std::locale());
    try {
        pt::read_ini(lines, tree);
    } catch (const pt::ini_parser_error& error) {
        if (failure != nullptr) failure->text = bytes;
        fail(failure, SettingsFileFault::unparsable, error.message(), path, error.line());
    }
}

bool mayWriteSettingsFile(const std::string& path) {
    if (platform::isSymbolicLink(path)) return false;
    const PathKind kind = kindOf(path);
    return kind == PathKind::missing || kind == PathKind::regularFile;
}

bool writeFileBytes(const std::string& path, const std::string& bytes) {
    if (!mayWriteSettingsFile(path)) return false;
    std::ofstream file(path, std::ios::out | std::ios::trunc | std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    return !file.fail();
}
