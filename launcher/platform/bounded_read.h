// The part of the file reader that every platform shares: how much of an open
// file is read, and what a file beyond the limit gives; opening it is each
// system's own.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>

#include "platform.h"

namespace platform {

// Reads up to count bytes of an open file into buffer: the bytes it read, 0 at
// the end of the file and a negative number on an error.
using ChunkReader = std::function<long long(char* buffer, std::size_t count)>;
using OpenFileUse = std::function<FileContent(std::uint64_t size, const ChunkReader& readChunk)>;

// Each system's own: opens the regular file at path for reading and returns
// what use makes of its size and reader; a file that is not there, not
// regular or cannot be opened gives its outcome without use.
FileContent withRegularFile(const std::string& path, const OpenFileUse& use);

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

}  // namespace platform
