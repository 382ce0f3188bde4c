// The machine's facts on Windows: the processors this process may run on, the
// physical memory, the processor's name as the system records it.
#include <windows.h>

#include <bitset>
#include <cstring>
#include <string>

#include "platform.h"

namespace platform {

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

}  // namespace

std::string machineFacts() {
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    GlobalMemoryStatusEx(&memory);
    return "processors " + std::to_string(usableProcessors()) + ", memory " +
           std::to_string(memory.ullTotalPhys) + ", model " + processorModel();
}

}  // namespace platform
