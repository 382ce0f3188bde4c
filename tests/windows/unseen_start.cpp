// Starts a program as the desktop starts a player's game: no console and no
// standard handles, or with --null-device both on the null device. Waits for
// it and exits with its status. Wine's debug output of the program still goes
// where this one's goes, so a test can trace it.
//
//   unseen_start [--null-device] PROGRAM
#include <windows.h>

#include <cstring>
#include <string>

int main(int argc, char** argv) {
    const bool nullDevice = argc > 2 && std::strcmp(argv[1], "--null-device") == 0;
    if (argc < 2 || (argc > 2 && !nullDevice)) return 100;
    std::string commandLine = std::string("\"") + argv[argc - 1] + "\"";

    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE device = nullptr;
    if (nullDevice) {
        device =
            CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        &inheritable, OPEN_EXISTING, 0, nullptr);
        if (device == INVALID_HANDLE_VALUE) return 101;
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = device;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, nullDevice, DETACHED_PROCESS,
                        nullptr, nullptr, &startup, &process)) {
        return 102;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 103;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(status);
}
