// Code pages on Windows. Under the launcher's manifest (Windows 10 1903 and
// later) the process's ANSI code page is UTF-8, and every narrow call takes
// and gives UTF-8; the system's default code page stays the legacy one of its
// language, the one that older settings files were written in.
#include <windows.h>

#include <string>
#include <vector>

#include "platform.h"

namespace platform {

namespace {

// The system's default ANSI code page, which GetACP no longer gives once the
// process's own is UTF-8; 0 when the system does not say. Asked by the
// system locale's number: its name form is not known everywhere (Wine 8).
UINT systemCodePage() {
    DWORD codePage = 0;
    constexpr int units = sizeof(codePage) / sizeof(WCHAR);
    if (GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                       reinterpret_cast<LPWSTR>(&codePage), units) != units) {
        return 0;
    }
    return codePage;
}

// The UTF-16 text of bytes in codePage; empty when they do not convert.
std::wstring wideFrom(UINT codePage, const std::string& text) {
    const int size = static_cast<int>(text.size());
    const int units = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    if (units <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, &wide[0], units);
    return wide;
}

std::string utf8From(const std::wstring& wide) {
    const int size = static_cast<int>(wide.size());
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return {};
    std::string text(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, &text[0], bytes, nullptr, nullptr);
    return text;
}

}  // namespace

bool executablePathRepresentable() {
    if (GetACP() == CP_UTF8) return true;
    // The longest path the system has, in UTF-16 units.
    std::vector<wchar_t> path(32768);
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return true;  // nothing known about its characters
    // Best-fit replacements ("a" for "ā") would name another file: they count
    // as characters the code page lacks.
    BOOL lacking = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.data(), static_cast<int>(length),
                        nullptr, 0, nullptr, &lacking);
    return !lacking;
}

std::string fromSystemCodePage(const std::string& text) {
    // Where the process's code page is the system's (a Windows that ignores
    // the manifest), the text is already as narrow strings hold it.
    if (text.empty() || GetACP() != CP_UTF8) return text;
    const UINT codePage = systemCodePage();
    if (codePage == 0 || codePage == CP_UTF8) return text;
    const std::wstring wide = wideFrom(codePage, text);
    return wide.empty() ? text : utf8From(wide);
}

}  // namespace platform
