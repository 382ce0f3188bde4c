#include "settings_file.h"

#include <algorithm>
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

// Everything the stream holds. A failed read is the reader's "read error" on
// the line it stopped in.
std::string readAll(std::istream& in, const std::string& path) {
    std::string text;
    std::vector<char> chunk(64 * 1024);
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())), in.gcount() > 0) {
        text.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
        const auto line = std::count(text.begin(), text.end(), '\n') + 1;
        throw pt::ini_parser_error("read error", path, static_cast<unsigned long>(line));
    }
    return text;
}

}  // namespace

void readSettingsFile(const std::string& path, pt::ptree& tree, std::optional<std::string>& text) {
    if (kindOf(path) == PathKind::other) throw pt::ini_parser_error("cannot open file", path, 0);

    // Opened as the INI reader opens it (text mode, the default locale), so
    // that the lines it sees are the same.
    std::ifstream file(path);
    if (!file) throw pt::ini_parser_error("cannot open file", path, 0);
    file.imbue(std::locale());
    text = readAll(file, path);

    // Editors that save UTF-8 with a byte-order mark would otherwise put it
    // in front of the first section's name.
    const bool marked = text->compare(0, utf8ByteOrderMark.size(), utf8ByteOrderMark) == 0;
    std::istringstream lines(marked ? text->substr(utf8ByteOrderMark.size()) : *text);
    lines.imbue(std::locale());
    try {
        pt::read_ini(lines, tree);
    } catch (const pt::ini_parser_error& error) {
        throw pt::ini_parser_error(error.message(), path, error.line());
    }
}

bool mayWriteSettingsFile(const std::string& path) {
    const PathKind kind = kindOf(path);
    return kind == PathKind::missing || kind == PathKind::regularFile;
}

bool writeTextFile(const std::string& path, const std::string& text) {
    if (!mayWriteSettingsFile(path)) return false;
    std::ofstream file(path, std::ios::out | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.close();
    return !file.fail();
}
