// The text fields of Steam's records: fixed-size character arrays that Steam fills
// to the end, without a terminator, when a text is as long as its field.
#pragma once

#include <cstddef>
#include <cstring>

namespace quellink {

// Copies a text field into text, which holds one character more than the field:
// the characters up to the field's NUL, or all of them when Steam filled the field,
// and a terminator either way.
template <std::size_t textSize>
void copyFieldText(char (&text)[textSize], const char* field) {
    std::size_t length = 0;
    while (length < textSize - 1 && field[length] != '\0') ++length;
    std::memcpy(text, field, length);
    text[length] = '\0';
}

}  // namespace quellink
