// LaunchConfig.ini on disk: what may be read or written in its place, and how
// its text reaches Boost.PropertyTree's INI reader.
#pragma once

#include <optional>
#include <string>

#include <boost/property_tree/ptree.hpp>

// Parses the file at path into tree as read_ini does, with the same errors
// (ini_parser_error: "cannot open file", "read error", and the parse errors
// with their line number), but:
// - only a regular file (or a link to one) is read; a directory gives the
//   reader's own error, anything else (a FIFO, a device) "cannot open file"
//   without being opened, so it is never waited on;
// - a UTF-8 byte-order mark at the start is skipped.
// text receives the file's whole text once it has been read, so that a
// caller can keep the text of a file that does not parse.
void readSettingsFile(const std::string& path, boost::property_tree::ptree& tree,
                      std::optional<std::string>& text);

// False when path names something that is not a regular file (or a link to
// one): a directory, a FIFO, a device. A missing file may be created.
bool mayWriteSettingsFile(const std::string& path);

// Replaces the file at path with text, written as a text file. False when it
// may not be written, cannot be opened or the write fails.
bool writeTextFile(const std::string& path, const std::string& text);
