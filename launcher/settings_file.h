// LaunchConfig.ini on disk: what may be read or written in its place, how
// its text reaches Boost.PropertyTree's INI reader, and how its values are
// read as the launcher's text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <boost/property_tree/ptree.hpp>

namespace tessvik {

// Eight lines need a few hundred bytes; a larger file (a damaged disk, a
// wrong file copied in its place) is never read into memory.
constexpr std::uint64_t largestSettingsFile = 1024 * 1024;

// What stood in the settings file's place when it could not be read, so that
// the caller knows what it may do with it.
enum class SettingsFileFault {
    missing,     // nothing there: a default file may be created
    unparsable,  // read whole, but not as INI text
    tooLarge,    // larger than largestSettingsFile: not read
    unreadable,  // there, but not readable to its end (no permission, an I/O
                 // error, a dangling link): to be left as it is
    notAFile,    // a directory, a FIFO, a device
};

struct SettingsFileFailure {
    SettingsFileFault fault = SettingsFileFault::missing;
    bool isLink = false;              // the path is a symbolic link
    std::optional<std::string> text;  // the bytes of a file that did not parse
};

// Parses the file at path into tree as read_ini does, with the same errors
// (ini_parser_error: "cannot open file", "read error", and the parse errors
// with their line number), but:
// - only a regular file (or a link to one) is read; a directory gives the
//   reader's own error, anything else (a FIFO, a device) "cannot open file"
//   without being opened, so it is never waited on;
// - a file larger than largestSettingsFile gives "larger than 1 MiB" unread;
// - a UTF-8 byte-order mark at the start is skipped.
// On an error, failure (when given) says what stood at path.
void readSettingsFile(const std::string& path, boost::property_tree::ptree& tree,
                      SettingsFileFailure* failure);

// False when path names something that is not a regular file: a directory, a
// FIFO, a device, or a symbolic link, through which the launcher never
// writes. A missing file may be created.
bool mayWriteSettingsFile(const std::string& path);

// Replaces the file at path with bytes, byte for byte. False when it may not
// be written, cannot be opened or the write fails.
bool writeFileBytes(const std::string& path, const std::string& bytes);

// The values of LaunchConfig.ini as the launcher's narrow strings hold text.
// On Windows those strings are UTF-8 (the manifest's code page), but a file
// edited by hand for an earlier launcher holds its values in the system's
// legacy code page; both kinds may stand in one file. A value that is
// well-formed UTF-8 is kept as it is; any other was written in the system's
// code page and is read in it (platform::fromSystemCodePage).
std::string settingsValueText(const std::string& value);

// settingsValueText for every value of the tree, each on its own.
void decodeSettingsValues(boost::property_tree::ptree& tree);

}  // namespace tessvik
