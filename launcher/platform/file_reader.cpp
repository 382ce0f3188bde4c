// The launcher's one file reader, above each system's way of opening a file.
#include <cstdint>
#include <functional>
#include <string>

#include "bounded_read.h"
#include "platform.h"

namespace platform {

FileContent readFile(const std::string& path, std::uint64_t limit, OverLimit overLimit) {
    return withRegularFile(path, [&](std::uint64_t size, const ChunkReader& readChunk) {
        return readOpenFile(size, limit, overLimit, readChunk);
    });
}

FileReadOutcome readFileInPieces(const std::string& path,
                                 const std::function<void(const char*, std::size_t)>& take) {
    return withRegularFile(path,
                           [&](std::uint64_t, const ChunkReader& readChunk) {
                               return readOpenFileInPieces(readChunk, take);
                           })
        .outcome;
}

}  // namespace platform
