// Texts the bridge composes for Steam and for Java: the rich presence "connect"
// text and the decimal Steam ID.
//
// Both are written into a narrow string stream with its default formatting
// (decimal, no padding, no sign for unsigned values) under the classic locale, so
// no grouping separator can appear whatever locale the process has set. When the
// stream reports a failure, or memory runs out, the text is not used: the result is
// empty.
#pragma once

#include <optional>
#include <string>

#include "steam/steam_types.h"

namespace quellink {

// "+connect <address>:<gamePort>?Q<queryPort>[?P]?V<version>".
//
// The address is printed as one unsigned 32-bit number (not dotted), the game port
// as unsigned 16 bits and the query port as signed 16 bits, so a query port above
// 32767 appears negative: 40000 is printed -25536. "?P" appears only when
// passwordFlag is set. version is copied byte for byte.
//
//   composeConnectText(-1062731519, 3724, 27016, true, "1.0")
//     == "+connect 3232235777:3724?Q27016?P?V1.0"
std::optional<std::string> composeConnectText(int32 address, int16 gamePort, int16 queryPort,
                                              bool passwordFlag, const char* version) noexcept;

// The 64-bit Steam ID as unsigned decimal: up to 20 digits, never a sign.
std::optional<std::string> composeSteamIdText(uint64 steamId) noexcept;

}  // namespace quellink
