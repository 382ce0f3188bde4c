// Texts in the form the Java VM's NewStringUTF reads and GetStringUTFChars gives:
// modified UTF-8, in which every UTF-16 code unit is encoded on its own (a
// character beyond U+FFFF as its two surrogates, three bytes each) and U+0000 is
// the two bytes C0 80, so that a text never holds a zero byte. Everything else is
// the same bytes as in standard UTF-8.
#pragma once

#include <string>

// Encodes UTF-16 text (as the Windows command line gives it), code unit by
// code unit; unpaired surrogates come through unchanged.
std::string modifiedUtf8FromUtf16(const std::u16string& text);

// Converts a byte string as a POSIX system or Steam gives it: well-formed UTF-8 is
// kept, a four-byte sequence is rewritten as its surrogate pair, and every
// byte that is not part of a well-formed sequence is read as Latin-1.
std::string modifiedUtf8FromBytes(const std::string& bytes);

// True when bytes are well-formed UTF-8 from end to end: no stray
// continuation byte, overlong form, encoded surrogate, value beyond U+10FFFF
// or cut-off sequence. Text in a legacy single- or double-byte code page
// almost never is, once it holds a character beyond ASCII.
bool isWellFormedUtf8(const std::string& bytes);

// True when text can go to NewStringUTF as it is: plain ASCII without NUL,
// the same bytes in UTF-8 and in modified UTF-8.
bool isPlainAscii(const char* text);

// True when modified UTF-8 text is standard UTF-8 as it is: it holds neither
// C0 80 nor an encoded surrogate, so it can go to a UTF-8 reader without a copy.
bool isAlsoUtf8(const char* text);

// Converts modified UTF-8 (as GetStringUTFChars gives it) to standard UTF-8: a
// surrogate pair becomes the character's one four-byte sequence, C0 80 becomes
// the zero byte (so the result may hold one: a caller that passes the text on
// NUL-terminated must look), and a surrogate without its partner, which UTF-8
// cannot hold, becomes U+FFFD. Every other byte is kept as it is.
std::string utf8FromModifiedUtf8(const char* text);
