// How Java's integers become Steam's values and back, for the service exports.
// Java has no unsigned types: Steam's unsigned handles and lengths travel in a
// wider signed type, or in the same bits of a signed one.
#pragma once

#include <cstdint>

#include "steam/steam_types.h"

namespace quellink {

// An unsigned 32-bit Steam value (ticket handle, ticket length) as a Java long:
// widened with zero bits, so 0 to 4294967295 and never negative.
constexpr std::int64_t widenUnsigned32(uint32 value) { return static_cast<std::int64_t>(value); }

// The ticket handle of a Java integer: its low 32 bits. Java declares the handle a
// long; an int handed over by a caller widens with its sign, which leaves the low
// 32 bits, and so the handle, unchanged.
constexpr HAuthTicket ticketHandleFromJava(std::int64_t handle) {
    return static_cast<HAuthTicket>(static_cast<std::uint64_t>(handle) & 0xFFFFFFFFu);
}

// Java's notification position: 0 top left, 1 top right, 2 bottom left,
// 3 bottom right; every other value is bottom left.
constexpr ENotificationPosition notificationPositionFromJava(std::int32_t position) {
    switch (position) {
        case 0: return k_EPositionTopLeft;
        case 1: return k_EPositionTopRight;
        case 3: return k_EPositionBottomRight;
        default: return k_EPositionBottomLeft;
    }
}

}  // namespace quellink
