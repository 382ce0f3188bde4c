#include "address_text.h"

#include <cstdio>

namespace quellink {

namespace {

constexpr int kAddressTextBuffers = 4;

char addressTexts[kAddressTextBuffers][kAddressTextSize];
int nextAddressText = 0;

}  // namespace

const char* AddressText(uint32 ip, uint16 port) {
    char* text = addressTexts[nextAddressText];
    nextAddressText = (nextAddressText + 1) % kAddressTextBuffers;
    std::snprintf(text, kAddressTextSize, "%u.%u.%u.%u:%i", static_cast<unsigned>((ip >> 24) & 0xFFu),
                  static_cast<unsigned>((ip >> 16) & 0xFFu), static_cast<unsigned>((ip >> 8) & 0xFFu),
                  static_cast<unsigned>(ip & 0xFFu), static_cast<int>(port));
    return text;
}

}  // namespace quellink
