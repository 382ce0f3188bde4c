#include "settings_file.h"

#include <fstream>
#include <locale>
#include <sstream>
#include <vector>

#include <boost/property_tree/ini_parser.hpp>

#include "modified_utf8.h"
#include "platform/files.h"
#include "platform/machine.h"
#include "starts_with.h"

namespace tessvik {

namespace pt = boost::property_tree;

namespace {

const std::string utf8ByteOrderMark = "\xEF\xBB\xBF";

[[noreturn]] void fail(SettingsFileFailure* failure, SettingsFileFault fault,
                       const std::string& reason, const std::string& path, unsigned long line = 0) {
    if (failure != nullptr) failure->fault = fault;
    throw pt::ini_parser_error(reason, path, line);
}

// The file's bytes, or the reader's error for what stands in its place.
std::string bytesOf(const std::string& path, SettingsFileFailure* failure) {
    using Outcome = platform::FileReadOutcome;
    // A directory gives what the INI reader gives when it reads one.
    if (platform::fileStatus(path).isDirectory()) {
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
    if (startsWith(text, utf8ByteOrderMark)) {
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
    const platform::FileKind kind = platform::fileStatus(path).kind;
    return kind == platform::FileKind::missing || kind == platform::FileKind::regularFile;
}

bool writeFileBytes(const std::string& path, const std::string& bytes) {
    if (!mayWriteSettingsFile(path)) return false;
    std::ofstream file(path, std::ios::out | std::ios::trunc | std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    return !file.fail();
}

std::string settingsValueText(const std::string& value) {
    // A legacy code page's text beyond ASCII is almost never well-formed
    // UTF-8, so the test tells the two kinds apart value by value.
    return isWellFormedUtf8(value) ? value : platform::fromSystemCodePage(value);
}

void decodeSettingsValues(pt::ptree& tree) {
    tree.data() = settingsValueText(tree.data());
    for (auto& child : tree) decodeSettingsValues(child.second);
}

}  // namespace tessvik
