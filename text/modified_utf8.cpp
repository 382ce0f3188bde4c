#include "modified_utf8.h"

#include <cstddef>
#include <cstdint>

namespace {

void appendCodeUnit(std::string& out, std::uint32_t unit) {
    if (unit != 0 && unit < 0x80) {
        out += static_cast<char>(unit);
    } else if (unit < 0x800) {
        out += static_cast<char>(0xC0 | (unit >> 6));
        out += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (unit >> 12));
        out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (unit & 0x3F));
    }
}

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence at bytes[i] and its code point,
// or 0 when the bytes there do not form one (stray continuation byte,
// overlong form, encoded surrogate, value beyond U+10FFFF, cut-off end).
std::size_t decodeSequence(const std::string& bytes, std::size_t i, std::uint32_t& codePoint) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[i + k]); };
    const unsigned char lead = at(0);
    std::size_t length;
    std::uint32_t value;
    unsigned char low = 0x80;  // allowed range of the second byte
    unsigned char high = 0xBF;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        if (lead == 0xF0) low = 0x90;   // no overlong forms
        if (lead == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
    } else {
        return 0;
    }
    if (i + length > bytes.size()) return 0;
    if (at(1) < low || at(1) > high) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if (!isContinuation(at(k))) return 0;
        value = (value << 6) | (at(k) & 0x3F);
    }
    codePoint = value;
    return length;
}

// U+0000 as modified UTF-8 writes it: C0 80.
bool isEncodedNul(const char* text) {
    return static_cast<unsigned char>(text[0]) == 0xC0 &&
           static_cast<unsigned char>(text[1]) == 0x80;
}

// A surrogate (U+D800 to U+DFFF) encoded on its own: ED A0..BF, then a continuation byte.
bool isEncodedSurrogate(const char* text) {
    const auto at = [&](int k) { return static_cast<unsigned char>(text[k]); };
    return at(0) == 0xED && (at(1) & 0xE0) == 0xA0 && isContinuation(at(2));
}

std::uint32_t encodedSurrogate(const char* text) {
    return 0xD000 | ((static_cast<unsigned char>(text[1]) & 0x3F) << 6) |
           (static_cast<unsigned char>(text[2]) & 0x3F);
}

void appendFourByteSequence(std::string& out, std::uint32_t codePoint) {
    out += static_cast<char>(0xF0 | (codePoint >> 18));
    out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
}

}  // namespace

std::string modifiedUtf8FromUtf16(const std::u16string& text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (char16_t unit : text) appendCodeUnit(out, unit);
    return out;
}

std::string modifiedUtf8FromBytes(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::uint32_t codePoint = 0;
        const std::size_t length = decodeSequence(bytes, i, codePoint);
        if (length == 0) {
            // Not UTF-8: the byte stands for the Latin-1 character of its value.
            appendCodeUnit(out, static_cast<unsigned char>(bytes[i]));
            ++i;
            continue;
        }
        if (codePoint > 0xFFFF) {
            const std::uint32_t offset = codePoint - 0x10000;
            appendCodeUnit(out, 0xD800 + (offset >> 10));
            appendCodeUnit(out, 0xDC00 + (offset & 0x3FF));
        } else {
            appendCodeUnit(out, codePoint);
        }
        i += length;
    }
    return out;
}

bool isWellFormedUtf8(const std::string& bytes) {
    std::uint32_t codePoint = 0;
    for (std::size_t i = 0, length; i < bytes.size(); i += length) {
        length = decodeSequence(bytes, i, codePoint);
        if (length == 0) return false;
    }
    return true;
}

bool isPlainAscii(const char* text) {
    for (; *text != '\0'; ++text) {
        if (static_cast<unsigned char>(*text) >= 0x80) return false;
    }
    return true;
}

bool isAlsoUtf8(const char* text) {
    for (; *text != '\0'; ++text) {
        if (isEncodedNul(text) || isEncodedSurrogate(text)) return false;
    }
    return true;
}

std::string utf8FromModifiedUtf8(const char* text) {
    std::string out;
    while (*text != '\0') {
        if (isEncodedNul(text)) {
            out += '\0';
            text += 2;
        } else if (!isEncodedSurrogate(text)) {
            out += *text++;
        } else if (const std::uint32_t high = encodedSurrogate(text);
                   high < 0xDC00 && isEncodedSurrogate(text + 3) &&
                   encodedSurrogate(text + 3) >= 0xDC00) {
            const std::uint32_t low = encodedSurrogate(text + 3);
            appendFourByteSequence(out, 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00));
            text += 6;
        } else {
            out += "\xEF\xBF\xBD";  // U+FFFD: UTF-8 cannot hold a surrogate without its partner
            text += 3;
        }
    }
    return out;
}
