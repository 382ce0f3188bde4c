// Code pages on POSIX: narrow strings are whatever bytes the file system and
// the user gave, so there is nothing to convert and no name to refuse.
#include <string>

#include "platform.h"

namespace platform {

bool executablePathRepresentable() { return true; }

std::string fromSystemCodePage(const std::string& text) { return text; }

}  // namespace platform
