// Texts in the form the Java VM's NewStringUTF reads: modified
// UTF-8, in which every UTF-16 code unit is encoded on its own (a character
// beyond U+FFFF as its two surrogates, three bytes each) and U+0000 is the
// two bytes C0 80, so that a text never holds a zero byte.
#pragma once

#include <string>

// Encodes UTF-16 text (as the Windows command line gives it), code unit by
// code unit; unpaired surrogates come through unchanged.
std::string modifiedUtf8FromUtf16(const std::u16string& text);

// Converts a byte string as a POSIX system or Steam gives it: well-formed UTF-8 is
// kept, a four-byte sequence is rewritten as its surrogate pair, and every
// byte that is not part of a well-formed sequence is read as Latin-1.
std::string modifiedUtf8FromBytes(const std::string& bytes);

// True when text can go to NewStringUTF as it is: plain ASCII without NUL,
// the same bytes in UTF-8 and in modified UTF-8.
bool isPlainAscii(const char* text);
