// The Steam client on Windows: the registry value "SteamExe" below
// "SOFTWARE\Valve\Steam", and CreateProcessA.
#include "platform/steam_client.h"

#include <windows.h>

#include <cstring>
#include <vector>

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
// address alone, unquoted. CreateProcessA may write into the command line, so it
// gets a buffer of its own. Both handles it returns are closed at once: nothing
// here waits for or watches Steam.
bool startSteamProcess(const std::string& exe, const std::string& address) {
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    std::memset(&process, 0, sizeof(process));
    std::vector<char> commandLine(address.begin(), address.end());
    commandLine.push_back('\0');

    const BOOL created = CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                                        DETACHED_PROCESS, nullptr, nullptr, &startup, &process);
    if (!created) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace quellink::platform
