#include "composed_text.h"

#include <locale>
#include <sstream>

namespace quellink {

namespace {

// The text of a finished stream, or nothing when the stream failed on the way.
// The text is taken out first and the stream tested afterwards.
std::optional<std::string> textOf(const std::ostringstream& stream) {
    std::string text = stream.str();
    if (stream.fail()) {
        return std::nullopt;
    }
    return text;
}

}  // namespace

std::optional<std::string> composeConnectText(int32 address, int16 gamePort, int16 queryPort,
                                              bool passwordFlag, const char* version) noexcept try {
    std::ostringstream stream;
    stream.imbue(std::locale::classic());
    // The casts pick the printed form: the same bits as unsigned 32, unsigned 16 and
    // signed 16 bits. (u)int16 are short types, so they print as numbers.
    stream << "+connect " << static_cast<uint32>(address) << ':' << static_cast<uint16>(gamePort)
           << "?Q" << static_cast<int16>(queryPort);
    if (passwordFlag) {
        stream << "?P";
    }
    stream << "?V" << version;
    return textOf(stream);
} catch (...) {
    return std::nullopt;
}

std::optional<std::string> composeSteamIdText(uint64 steamId) noexcept try {
    std::ostringstream stream;
    stream.imbue(std::locale::classic());
    stream << steamId;
    return textOf(stream);
} catch (...) {
    return std::nullopt;
}

}  // namespace quellink
