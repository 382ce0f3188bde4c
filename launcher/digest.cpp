#include "digest.h"

#include <algorithm>
#include <cstring>

namespace tessvik {

namespace {

constexpr std::uint64_t prime1 = 0x9E3779B185EBCA87ull;
constexpr std::uint64_t prime2 = 0xC2B2AE3D27D4EB4Full;

std::uint64_t rotateLeft(std::uint64_t value, int bits) {
    return (value << bits) | (value >> (64 - bits));
}

std::uint64_t mixRound(std::uint64_t lane, std::uint64_t word) {
    return rotateLeft(lane + word * prime2, 31) * prime1;
}

}  // namespace

// Four independent lanes of 64-bit multiply-rotate rounds (the round of
// xxHash64), so the processor works on four words at once. Any change of a
// word changes its lane, since each step is invertible.
void Checksum::addBlock(const char* block) {
    for (int lane = 0; lane < 4; ++lane) {
        std::uint64_t word;
        std::memcpy(&word, block + 8 * lane, 8);
        lanes_[lane] = mixRound(lanes_[lane], word);
    }
}

void Checksum::add(const char* bytes, std::size_t size) {
    size_ += size;
    if (pendingSize_ > 0) {
        const std::size_t taken = std::min(size, sizeof pending_ - pendingSize_);
        std::memcpy(pending_ + pendingSize_, bytes, taken);
        pendingSize_ += taken;
        bytes += taken;
        size -= taken;
        if (pendingSize_ < sizeof pending_) return;
        addBlock(pending_);
        pendingSize_ = 0;
    }
    for (; size >= sizeof pending_; bytes += sizeof pending_, size -= sizeof pending_) {
        addBlock(bytes);
    }
    std::memcpy(pending_, bytes, size);
    pendingSize_ = size;
}

std::uint64_t Checksum::value() const {
    std::uint64_t hash = size_ * prime1;
    for (std::uint64_t lane : lanes_)
        hash = rotateLeft(hash ^ mixRound(0, lane), 27) * prime1 + prime2;
    for (std::size_t at = 0; at < pendingSize_; ++at) {
        hash = rotateLeft(hash ^ (static_cast<unsigned char>(pending_[at]) * prime1), 23) * prime2;
    }
    hash ^= hash >> 33;
    hash *= prime2;
    return hash ^ (hash >> 29);
}

std::uint64_t checksumOf(const char* bytes, std::size_t size) {
    Checksum checksum;
    checksum.add(bytes, size);
    return checksum.value();
}

std::string hexText(std::uint64_t value) {
    static const char digits[] = "0123456789abcdef";
    std::string text(digestLength, '0');
    for (std::size_t i = text.size(); i > 0; --i, value >>= 4) text[i - 1] = digits[value & 15];
    return text;
}

std::string digestOf(const std::string& text) {
    return hexText(checksumOf(text.data(), text.size()));
}

}  // namespace tessvik
