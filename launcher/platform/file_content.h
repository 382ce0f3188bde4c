// What reading a file gives, and the part of the file reader that every
// system shares: how much of an open file is read, and what a file beyond the
// limit gives. Opening it is each system's own (readFile in
// files_<system>.cpp).
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

namespace tessvik::platform {

enum class FileReadOutcome {
    read,            // bytes holds the file, or its first limit bytes when cut
    missing,         // nothing at all at the path
    notRegularFile,  // a directory, a FIFO, a device: never opened for reading
    tooLarge,        // more than limit bytes, refused: nothing read
    cannotOpen,      // there (a dangling link too), but it cannot be opened
    readError,       // opened, but reading it failed before its end
};

// What the file holds at its limit: the whole file is refused, or only its
// first bytes are wanted.
enum class OverLimit { refuse, cut };

struct FileContent {
    FileReadOutcome outcome = FileReadOutcome::missing;
    std::string bytes;  // empty unless read
};

// Reads an open regular file of size bytes (as the file system gave it when
// opened) through readChunk(buffer, count), which returns the bytes it read,
// 0 at the end of the file and a negative number on an error.
template <typename ReadChunk>
FileContent readOpenFile(std::uint64_t size, std::uint64_t limit, OverLimit overLimit,
                         ReadChunk readChunk) {
    FileContent content;
    content.outcome = FileReadOutcome::tooLarge;
    if (size > limit && overLimit == OverLimit::refuse) return content;
    // One byte beyond the limit tells a file that grew past it while read.
    const std::uint64_t wanted = limit + 1;
    std::string bytes(static_cast<std::size_t>(std::min(size, limit)) + 1, '\0');
    std::size_t have = 0;
    while (have < wanted) {
        if (have == bytes.size()) {
            bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(have * 2, wanted)));
        }
        const long long got = readChunk(&bytes[have], bytes.size() - have);
        if (got == 0) break;
        if (got < 0) {
            content.outcome = FileReadOutcome::readError;
            return content;
        }
        have += static_cast<std::size_t>(got);
    }
    if (have > limit) {
        if (overLimit == OverLimit::refuse) return content;
        have = static_cast<std::size_t>(limit);
    }
    bytes.resize(have);
    content.outcome = FileReadOutcome::read;
    content.bytes = std::move(bytes);
    return content;
}

}  // namespace tessvik::platform
