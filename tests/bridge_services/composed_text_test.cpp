#include "composed_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <locale>

namespace {

using quellink::composeConnectText;
using quellink::composeSteamIdText;

TEST(ConnectText, ShowsEveryPieceInOrder) {
    EXPECT_EQ(composeConnectText(-1062731519, 3724, 27016, true, "1.0"),
              "+connect 3232235777:3724?Q27016?P?V1.0");
    EXPECT_EQ(composeConnectText(-1062731519, 3724, 27016, false, "1.0"),
              "+connect 3232235777:3724?Q27016?V1.0");
}

TEST(ConnectText, PrintsEachNumberInItsOwnForm) {
    // The address never carries a sign.
    EXPECT_EQ(composeConnectText(-1, 0, 0, false, ""), "+connect 4294967295:0?Q0?V");
    EXPECT_EQ(composeConnectText(INT32_MIN, 0, 0, false, ""), "+connect 2147483648:0?Q0?V");
    // Port 40000 in a Java short is -25536: unsigned as game port, signed as query port.
    const int16 port40000 = static_cast<int16>(40000 - 65536);
    EXPECT_EQ(composeConnectText(1, port40000, port40000, false, "x"),
              "+connect 1:40000?Q-25536?Vx");
    EXPECT_EQ(composeConnectText(0, -1, INT16_MIN, false, ""), "+connect 0:65535?Q-32768?V");
}

TEST(ConnectText, CopiesTheVersionBytesAsTheyAre) {
    // "é" and U+10000 as modified UTF-8 (a surrogate pair in six bytes).
    const char version[] = "\xc3\xa9-\xed\xa0\x80\xed\xb0\x80";
    EXPECT_EQ(composeConnectText(1, 2, 3, true, version),
              std::string("+connect 1:2?Q3?P?V") + version);
}

TEST(ConnectText, IgnoresTheProcessLocale) {
    // A locale that groups digits must not reach the text.
    struct Grouping : std::numpunct<char> {
        char do_thousands_sep() const override { return ','; }
        std::string do_grouping() const override { return "\3"; }
    };
    const std::locale previous =
        std::locale::global(std::locale(std::locale::classic(), new Grouping));
    const auto text = composeConnectText(-1062731519, 27015, 27016, false, "v");
    const auto id = composeSteamIdText(76561197960287930ull);
    std::locale::global(previous);
    EXPECT_EQ(text, "+connect 3232235777:27015?Q27016?Vv");
    EXPECT_EQ(id, "76561197960287930");
}

TEST(SteamIdText, IsUnsignedDecimalOfUpToTwentyDigits) {
    EXPECT_EQ(composeSteamIdText(0), "0");
    EXPECT_EQ(composeSteamIdText(76561197960287930ull), "76561197960287930");
    // The top bit set: still positive.
    EXPECT_EQ(composeSteamIdText(0x8000000000000000ull), "9223372036854775808");
    EXPECT_EQ(composeSteamIdText(UINT64_MAX), "18446744073709551615");
}

}  // namespace
