// The machine's facts on Windows: the processors this process may run on, the
// physical memory, the processor's name as the system records it; and the
// system's code page. Under the launcher's manifest (Windows 10 1903 and
// later) the process's ANSI code page is UTF-8, and every narrow call takes
// and gives UTF-8; the system's default code page stays the legacy one of its
// language, the one that older settings files were written in.
#include <windows.h>

#include <bitset>
#include <cstring>
#include <string>

#include "code_page_text.h"
#include "machine.h"

namespace tessvik::platform {

namespace {

std::size_t usableProcessors() {
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) return 0;
    return std::bitset<sizeof(DWORD_PTR) * 8>(process).count();
}

std::string processorModel() {
    char name[256] = {};
    DWORD size = sizeof name;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
                     "ProcessorNameString", RRF_RT_REG_SZ, nullptr, name, &size) != ERROR_SUCCESS) {
        return {};
    }
    return std::string(name, strnlen(name, sizeof name));
}

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

}  // namespace

std::string machineFacts() {
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    GlobalMemoryStatusEx(&memory);
    return "processors " + std::to_string(usableProcessors()) + ", memory " +
           std::to_string(memory.ullTotalPhys) + ", model " + processorModel();
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

}  // namespace tessvik::platform
