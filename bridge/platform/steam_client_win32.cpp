// The Steam client on Windows: the registry value "SteamExe" below
// "SOFTWARE\Valve\Steam", and the project's one way to start a program.
#include "platform/steam_client.h"

#include <windows.h>

#include <cstring>

#include "program_start.h"

namespace quellink::platform {

// The value's type is not checked. A value that does not fit the 256-byte buffer
// fails the read. The buffer starts zeroed, so a value without a NUL of its own
// still ends within the buffer.
bool lookUpSteamExe(SteamRoot root, std::string& path) {
    char value[256] = {};
    DWORD size = sizeof(value);
    const LSTATUS status =
        RegGetValueA(root == SteamRoot::localMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                     "SOFTWARE\\Valve\\Steam", "SteamExe", RRF_RT_ANY, nullptr, value, &size);
    if (status != ERROR_SUCCESS) {
        return false;
    }
    path.assign(value, strnlen(value, sizeof(value)));
    return true;
}

// The executable goes in as the application name only; the command line is the
// address alone, unquoted. The process handle is closed at once: nothing here
// waits for or watches Steam.
bool startSteamProcess(const std::string& exe, const std::string& address) {
    return static_cast<bool>(
        process::startProgram({exe, address, {}, DETACHED_PROCESS, {}, nullptr}));
}

}  // namespace quellink::platform
