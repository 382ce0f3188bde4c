// The system's own text for a Windows error code, as FormatMessage gives it.
#pragma once

#include <windows.h>

#include <string>

namespace tessvik::platform {

// "The specified module could not be found. (126)": the text on one line,
// followed by the code.
inline std::string systemErrorText(DWORD code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string line = length > 0 ? std::string(text, length) : std::string("error");
    if (text != nullptr) LocalFree(text);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    return line + " (" + std::to_string(code) + ")";
}

}  // namespace tessvik::platform
