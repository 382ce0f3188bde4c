// Whether a text begins with another: option names, file names.
#pragma once

#include <string>

inline bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}
