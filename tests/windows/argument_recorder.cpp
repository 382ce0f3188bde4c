// Stands in for steam.exe in the dedicated-server tests: writes the command line it
// was started with, exactly as Windows hands it over, to "<its own path>.record",
// and on a second line whether it has a console.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

int main() {
    std::vector<char> own(32768);
    const DWORD length = GetModuleFileNameA(nullptr, own.data(), static_cast<DWORD>(own.size()));
    const std::string record = std::string(own.data(), length) + ".record";
    const std::string part = record + ".part";
    FILE* out = std::fopen(part.c_str(), "wb");
    if (out == nullptr) {
        return 1;
    }
    std::fprintf(out, "%s\n%s\n", GetCommandLineA(),
                 GetConsoleWindow() != nullptr ? "console" : "no console");
    std::fclose(out);
    // Appears whole, so the test never reads half a record.
    return MoveFileA(part.c_str(), record.c_str()) ? 0 : 1;
}
