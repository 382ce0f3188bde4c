// The address text of a server's connection port: its format at the edges of the
// value ranges, and the four buffers taken in turn.
#include "steam/steam_types.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char* addressText(uint32 ip, uint16 port) {
    servernetadr_t address;
    address.Init(ip, 0, port);
    return address.GetConnectionAddressString();
}

}  // namespace

TEST(AddressText, OctetsFromMostSignificantThenUnsignedPort) {
    EXPECT_STREQ(addressText(0xC0A80114u, 27016), "192.168.1.20:27016");
    EXPECT_STREQ(addressText(0, 0), "0.0.0.0:0");
    EXPECT_STREQ(addressText(0xFFFFFFFFu, 65535), "255.255.255.255:65535");
    EXPECT_STREQ(addressText(0x0A000001u, 40000), "10.0.0.1:40000")
        << "a port above 32767 is not negative";
}

TEST(AddressText, TextStaysValidUntilFourMoreAreMade) {
    const char* first = addressText(0x01020304u, 1);
    const char* second = addressText(0x05060708u, 2);
    const char* third = addressText(0x090A0B0Cu, 3);
    const char* fourth = addressText(0x0D0E0F10u, 4);
    EXPECT_STREQ(first, "1.2.3.4:1");
    EXPECT_STREQ(second, "5.6.7.8:2");
    EXPECT_STREQ(third, "9.10.11.12:3");
    EXPECT_STREQ(fourth, "13.14.15.16:4");
    EXPECT_NE(first, second);
    EXPECT_NE(first, third);
    EXPECT_NE(first, fourth);

    const char* fifth = addressText(0x7F000001u, 5);
    EXPECT_EQ(fifth, first) << "the fifth text reuses the first buffer";
    EXPECT_STREQ(first, "127.0.0.1:5");
    EXPECT_STREQ(second, "5.6.7.8:2");
}
