// The text form of a server address that the server browser hands to Java.
#pragma once

#include "steam/steam_types.h"

#include <cstddef>

namespace quellink {

// Size of one address text buffer, terminator included.
constexpr std::size_t kAddressTextSize = 64;

// "a.b.c.d:port": the four bytes of the IPv4 address (host order, first octet in
// the most significant byte) from most to least significant, then the port in
// decimal. The same text Steam shows as a server's connection address.
//
// The text is written into one of four static buffers, taken in turn, so it stays
// valid until four more texts have been made. Not for use from two threads at once.
const char* AddressText(uint32 ip, uint16 port);

}  // namespace quellink
