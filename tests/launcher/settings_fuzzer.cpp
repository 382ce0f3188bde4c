// libFuzzer target: any bytes as LaunchConfig.ini must give a reading or an
// error message, never a crash, a leak or undefined behaviour.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "launch_settings.h"

namespace {

const std::string& settingsPath() {
    static const std::string path = [] {
        const char* base = std::getenv("TMPDIR");
        return std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
               "/tessvik-fuzz-" + std::to_string(getpid()) + ".ini";
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        std::ofstream file(settingsPath(), std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::ostringstream sink;
    std::streambuf* saved = std::cout.rdbuf(sink.rdbuf());
    LaunchSettings settings;
    const bool read = settings.readConfig(settingsPath());
    std::cout.rdbuf(saved);
    // A failed read leaves the settings as they were.
    if (!read && (settings.initialHeap != "512m" || !settings.vmParams.empty())) std::abort();
    std::remove(settingsPath().c_str());
    return 0;
}
