// Command-line arguments as the VM's NewStringUTF reads them: every argument
// must reach Java as the characters the user typed. And the way back: Java's
// Strings as Steam reads them, in standard UTF-8.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "modified_utf8.h"
#include "platform/processes.h"

using namespace tessvik;

namespace {

// Decodes modified UTF-8 into UTF-16 code units the way the VM does, and
// fails the test on anything the VM would not accept: a zero byte, a
// four-byte sequence, a malformed sequence.
std::u16string decodeLikeTheVm(const std::string& text) {
    std::u16string units;
    for (std::size_t i = 0; i < text.size();) {
        const auto b = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
        const auto cont = [&](std::size_t k) {
            return i + k < text.size() && (b(k) & 0xC0) == 0x80;
        };
        if (b(0) == 0) {
            ADD_FAILURE() << "zero byte at " << i;
            return units;
        } else if (b(0) < 0x80) {
            units += char16_t(b(0));
            i += 1;
        } else if ((b(0) & 0xE0) == 0xC0 && cont(1)) {
            units += char16_t(((b(0) & 0x1F) << 6) | (b(1) & 0x3F));
            i += 2;
        } else if ((b(0) & 0xF0) == 0xE0 && cont(1) && cont(2)) {
            units += char16_t(((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F));
            i += 3;
        } else {
            ADD_FAILURE() << "not modified UTF-8 at " << i;
            return units;
        }
    }
    return units;
}

TEST(ModifiedUtf8FromUtf16, EncodesEveryCodeUnitOnItsOwn) {
    EXPECT_EQ(modifiedUtf8FromUtf16(u"plain -Dx=1"), "plain -Dx=1");
    EXPECT_EQ(modifiedUtf8FromUtf16(u"\u00E9\u00A9"), "\xC3\xA9\xC2\xA9");
    EXPECT_EQ(modifiedUtf8FromUtf16(u"\u20AC\u07FF\u0800"), "\xE2\x82\xAC\xDF\xBF\xE0\xA0\x80");
    EXPECT_EQ(modifiedUtf8FromUtf16(std::u16string(u"a\0b", 3)),
              "a\xC0\x80"
              "b");
    // A surrogate pair (U+1F600) becomes two three-byte sequences.
    EXPECT_EQ(modifiedUtf8FromUtf16(u"\U0001F600"), "\xED\xA0\xBD\xED\xB8\x80");
    // A lone surrogate is passed on as it is.
    EXPECT_EQ(modifiedUtf8FromUtf16(std::u16string(1, char16_t(0xDC00))), "\xED\xB0\x80");
    EXPECT_EQ(modifiedUtf8FromUtf16(u""), "");
}

TEST(ModifiedUtf8FromUtf16, EveryUtf16TextComesBackUnchanged) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::u16string text(random() % 40, u'\0');
        for (char16_t& unit : text) unit = char16_t(random() % 0x10000);
        EXPECT_EQ(decodeLikeTheVm(modifiedUtf8FromUtf16(text)), text);
    }
}

TEST(ModifiedUtf8FromBytes, KeepsUtf8AndSplitsFourByteSequences) {
    EXPECT_EQ(modifiedUtf8FromBytes("caf\xC3\xA9 \xC2\xA9 \xE2\x82\xAC"),
              "caf\xC3\xA9 \xC2\xA9 \xE2\x82\xAC");
    EXPECT_EQ(modifiedUtf8FromBytes("\xF0\x9F\x98\x80"), "\xED\xA0\xBD\xED\xB8\x80");
    EXPECT_EQ(modifiedUtf8FromBytes("\xF4\x8F\xBF\xBF"), "\xED\xAF\xBF\xED\xBF\xBF");  // U+10FFFF
    for (const char* utf8 : {"", "plain", "caf\xC3\xA9 \xE2\x82\xAC", "\xF0\x9F\x98\x80",
                             "\xF4\x8F\xBF\xBF", "\xEF\xBB\xBF"}) {
        EXPECT_TRUE(isWellFormedUtf8(utf8)) << utf8;
    }
}

TEST(ModifiedUtf8FromBytes, ReadsWhatIsNotUtf8AsLatin1) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"\xE9t\xE9", "\xC3\xA9t\xC3\xA9"},                        // Latin-1 text
        {"\xC0\x80", "\xC3\x80\xC2\x80"},                          // overlong NUL
        {"\xE0\x80\xAF", "\xC3\xA0\xC2\x80\xC2\xAF"},              // overlong "/"
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},              // encoded surrogate
        {"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"},  // beyond U+10FFFF
        {"\xF5", "\xC3\xB5"},
        {"\xFF", "\xC3\xBF"},
        {"a\xE2\x82", "a\xC3\xA2\xC2\x82"},  // cut off at the end
        {"\xE2\x82"
         "b",
         "\xC3\xA2\xC2\x82"
         "b"},                                 // cut off by a letter
        {"\x80\xC3\xA9", "\xC2\x80\xC3\xA9"},  // stray continuation
    };
    for (const auto& c : cases) {
        EXPECT_EQ(modifiedUtf8FromBytes(c.in), c.out) << c.in;
        EXPECT_FALSE(isWellFormedUtf8(c.in)) << c.in;
    }
}

TEST(ModifiedUtf8FromBytes, AnyByteStringGivesTextTheVmAccepts) {
    std::mt19937 random(11);
    for (int round = 0; round < 500; ++round) {
        std::string bytes(random() % 32, '\0');
        for (char& c : bytes) c = static_cast<char>(1 + random() % 255);
        const std::u16string units = decodeLikeTheVm(modifiedUtf8FromBytes(bytes));
        // Every byte is one character or part of one: never more units than
        // bytes, never a character lost.
        EXPECT_LE(units.size(), bytes.size());
        EXPECT_GE(units.size() * 4, bytes.size());
    }
}

TEST(Utf8FromModifiedUtf8, JoinsSurrogatePairsAndKeepsEverythingElse) {
    // Plain text and every character below U+10000 but NUL: the same bytes.
    const char* same = "caf\xC3\xA9 \xE2\x82\xAC \xED\x9F\xBF \xEE\x80\x80";  // ..., U+D7FF, U+E000
    EXPECT_TRUE(isAlsoUtf8(same));
    EXPECT_EQ(utf8FromModifiedUtf8(same), same);
    const struct {
        const char* in;
        std::string out;
    } cases[] = {
        {"1.0-\xED\xA0\xBD\xED\xB8\x80", "1.0-\xF0\x9F\x98\x80"},  // U+1F600
        {"\xED\xA0\x80\xED\xB0\x80", "\xF0\x90\x80\x80"},          // U+10000
        {"\xED\xAF\xBF\xED\xBF\xBF", "\xF4\x8F\xBF\xBF"},          // U+10FFFF
        {"a\xC0\x80"
         "b",
         std::string("a\0b", 3)},                                  // U+0000
        {"\xED\xA0\xBDx", "\xEF\xBF\xBDx"},                        // lone high surrogate
        {"\xED\xB8\x80", "\xEF\xBF\xBD"},                          // lone low surrogate
        {"\xED\xB8\x80\xED\xA0\xBD", "\xEF\xBF\xBD\xEF\xBF\xBD"},  // the pair reversed
        {"\xED\xA0\xBD\xED\xA0\xBD\xED\xB8\x80", "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(isAlsoUtf8(c.in)) << c.in;
        EXPECT_EQ(utf8FromModifiedUtf8(c.in), c.out) << c.in;
    }
}

TEST(Utf8FromModifiedUtf8, UndoesModifiedUtf8FromBytesForEveryUtf8Text) {
    const auto utf8 = [](std::uint32_t c) {
        std::string out;
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += {char(0xC0 | c >> 6), char(0x80 | (c & 0x3F))};
        } else if (c < 0x10000) {
            out += {char(0xE0 | c >> 12), char(0x80 | (c >> 6 & 0x3F)), char(0x80 | (c & 0x3F))};
        } else {
            out += {char(0xF0 | c >> 18), char(0x80 | (c >> 12 & 0x3F)),
                    char(0x80 | (c >> 6 & 0x3F)), char(0x80 | (c & 0x3F))};
        }
        return out;
    };
    std::mt19937 random(13);
    for (int round = 0; round < 500; ++round) {
        std::string text;
        for (int n = random() % 12; n > 0; --n) {
            std::uint32_t c = random() % (random() % 2 ? 0x800 : 0x110000);
            if (c >= 0xD800 && c < 0xE000) c -= 0x800;  // no surrogates in UTF-8
            text += utf8(c);
        }
        const std::string modified = modifiedUtf8FromBytes(text);
        EXPECT_EQ(utf8FromModifiedUtf8(modified.c_str()), text);
        EXPECT_EQ(isAlsoUtf8(modified.c_str()), modified == text);
    }
}

TEST(ArgumentCapture, KeepsEveryArgumentInOrderAsModifiedUtf8) {
    const std::vector<std::string> argv = {"/games/zarn/tessvik", "two words", "", "\xE9t\xE9",
                                           "\xF0\x9F\x98\x80"};
    EXPECT_EQ(platform::commandLineArguments(argv),
              (std::vector<std::string>{"/games/zarn/tessvik", "two words", "", "\xC3\xA9t\xC3\xA9",
                                        "\xED\xA0\xBD\xED\xB8\x80"}));
}

}  // namespace
