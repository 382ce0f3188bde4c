#include "steam_values.h"

#include <gtest/gtest.h>

namespace {

using quellink::notificationPositionFromJava;
using quellink::ticketHandleFromJava;
using quellink::widenUnsigned32;

TEST(NotificationPosition, KeepsTheFourCornersAndSendsAllElseBottomLeft) {
    EXPECT_EQ(notificationPositionFromJava(0), k_EPositionTopLeft);
    EXPECT_EQ(notificationPositionFromJava(1), k_EPositionTopRight);
    EXPECT_EQ(notificationPositionFromJava(2), k_EPositionBottomLeft);
    EXPECT_EQ(notificationPositionFromJava(3), k_EPositionBottomRight);
    for (int other : {-1, 4, 100, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(notificationPositionFromJava(other), k_EPositionBottomLeft) << other;
    }
}

TEST(TicketValues, CrossToJavaAsNonNegativeLongs) {
    EXPECT_EQ(widenUnsigned32(0), 0);
    EXPECT_EQ(widenUnsigned32(2147483648u), 2147483648LL);
    EXPECT_EQ(widenUnsigned32(UINT32_MAX), 4294967295LL);
}

TEST(TicketValues, ComeBackAsTheirLowThirtyTwoBits) {
    EXPECT_EQ(ticketHandleFromJava(7), 7u);
    EXPECT_EQ(ticketHandleFromJava(0x1234567800000009LL), 9u);
    EXPECT_EQ(ticketHandleFromJava(4294967295LL), UINT32_MAX);
    // An int handle of -1, widened by Java with its sign, is the same ticket.
    EXPECT_EQ(ticketHandleFromJava(-1), UINT32_MAX);
    EXPECT_EQ(ticketHandleFromJava(widenUnsigned32(3000000000u)), 3000000000u);
}

}  // namespace
