// The launcher's one digest: 64 bits over every byte, as 16 hex digits where
// it names a file. The start-up cache's entries and the game folders are
// named with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tessvik {

class Checksum {
public:
    void add(const char* bytes, std::size_t size);
    std::uint64_t value() const;
    std::uint64_t size() const { return size_; }

private:
    void addBlock(const char* block);

    std::uint64_t lanes_[4] = {0x60EA27EEADC0B5D6ull, 0xC2B2AE3D27D4EB4Full, 0,
                               0x61C8864E7A143579ull};
    char pending_[32] = {};
    std::size_t pendingSize_ = 0;
    std::uint64_t size_ = 0;
};

std::uint64_t checksumOf(const char* bytes, std::size_t size);

// The length of a digest's text: 16 hex digits.
constexpr std::size_t digestLength = 16;

// value as 16 hex digits.
std::string hexText(std::uint64_t value);

// The digest of text as 16 hex digits: a name that changes with its input.
std::string digestOf(const std::string& text);

}  // namespace tessvik
