// The launcher's one file reader, above each system's way of opening a file.
#include <cstdint>
#include <string>

#include "bounded_read.h"
#include "platform.h"

namespace platform {

FileContent readFile(const std::string& path, std::uint64_t limit, OverLimit overLimit) {
    return withRegularFile(path, [&](std::uint64_t size, const ChunkReader& readChunk) {
        return readOpenFile(size, limit, overLimit, readChunk);
    });
}

}  // namespace platform
