// The machine's facts on POSIX systems: the processors this process may run
// on (as the Java VM counts them), the physical memory, the processor model.
#include <sched.h>
#include <unistd.h>

#include <sstream>
#include <string>

#include "platform.h"

namespace platform {

namespace {

long usableProcessors() {
#ifdef CPU_COUNT
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set);
#endif
    return sysconf(_SC_NPROCESSORS_ONLN);
}

// The first "model name" of /proc/cpuinfo, or "" where there is none.
std::string processorModel() {
    const FileContent info = readFile("/proc/cpuinfo", 1 << 20, OverLimit::cut);
    std::istringstream lines(info.bytes);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 1);
    }
    return {};
}

}  // namespace

std::string machineFacts() {
    const long long memory =
        static_cast<long long>(sysconf(_SC_PHYS_PAGES)) * sysconf(_SC_PAGESIZE);
    return "processors " + std::to_string(usableProcessors()) + ", memory " +
           std::to_string(memory) + ", model" + processorModel();
}

}  // namespace platform
