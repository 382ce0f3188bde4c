#include "float_text.h"

#include <charconv>
#include <locale>
#include <sstream>

// std::to_chars and std::from_chars for floats came with GCC 11's C++ library;
// GCC 10's (Debian 11, where the Linux release is built) has them for integers
// only. There, streams in the classic locale stand in.
#if defined(_GLIBCXX_RELEASE) && _GLIBCXX_RELEASE < 11
#define STEAMSIM_FLOAT_CHARCONV 0
#else
#define STEAMSIM_FLOAT_CHARCONV 1
#endif

namespace steamsim {

#if STEAMSIM_FLOAT_CHARCONV

std::string formatFloat(float value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    return std::string(buffer, result.ptr);
}

bool parseFloat(const std::string& text, float& value) {
    const char* end = text.data() + text.size();
    const auto parsed = std::from_chars(text.data(), end, value);
    return !text.empty() && parsed.ec == std::errc() && parsed.ptr == end;
}

#else

bool parseFloat(const std::string& text, float& value) {
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    float read = 0;
    in >> std::noskipws >> read;
    if (text.empty() || text[0] == '+' || in.fail() || in.peek() != std::char_traits<char>::eof())
        return false;
    value = read;
    return true;
}

namespace {

std::string classicText(float value, std::ios_base::fmtflags format, int precision) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.setf(format, std::ios_base::floatfield);
    out.precision(precision);
    out << value;
    return out.str();
}

}  // namespace

// As std::to_chars writes it: the fewest significant digits that read back (a
// float needs at most 9), in fixed notation unless scientific is shorter.
std::string formatFloat(float value) {
    std::string scientific;
    int digits = 1;
    for (; digits <= 9; ++digits) {
        scientific = classicText(value, std::ios_base::scientific, digits - 1);
        float back = 0;
        if (parseFloat(scientific, back) && back == value) break;
    }
    const auto e = scientific.find('e');
    if (e == std::string::npos) return scientific;  // inf, nan
    const int exponent = std::stoi(scientific.substr(e + 1));
    const int decimals = digits - 1 - exponent > 0 ? digits - 1 - exponent : 0;
    std::string fixed = classicText(value, std::ios_base::fixed, decimals);
    return fixed.size() <= scientific.size() ? fixed : scientific;
}

#endif

}  // namespace steamsim
