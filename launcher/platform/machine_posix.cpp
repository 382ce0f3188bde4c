// The machine's facts on POSIX systems: the processors this process may run
// on (as the Java VM counts them), the physical memory, the limits a container
// puts on both (which the VM sizes itself by in their place), the processor
// model; and the code page, which POSIX systems do not have.
#include <sched.h>
#include <unistd.h>

#include <sstream>
#include <string>

#include "files.h"
#include "machine.h"
#include "starts_with.h"

namespace tessvik::platform {

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
        if (startsWith(line, "model name")) return line.substr(line.find(':') + 1);
    }
    return {};
}

// The processor and memory limits of the control group the process runs in,
// as a container shows them to it (version 2, else version 1), as text.
std::string containerLimits() {
    std::string limits;
    for (const char* file :
         {"/sys/fs/cgroup/cpu.max", "/sys/fs/cgroup/memory.max",
          "/sys/fs/cgroup/cpu/cpu.cfs_quota_us", "/sys/fs/cgroup/memory/memory.limit_in_bytes"}) {
        const FileContent limit = readFile(file, 4096, OverLimit::cut);
        if (limit.outcome == FileReadOutcome::read) limits += ' ' + limit.bytes;
    }
    return limits;
}

}  // namespace

std::string machineFacts() {
    const long long memory =
        static_cast<long long>(sysconf(_SC_PHYS_PAGES)) * sysconf(_SC_PAGESIZE);
    return "processors " + std::to_string(usableProcessors()) + ", memory " +
           std::to_string(memory) + ", limits" + containerLimits() + ", model" + processorModel();
}

// Narrow strings are whatever bytes the file system and the user gave: there
// is nothing to convert.
std::string fromSystemCodePage(const std::string& text) { return text; }

}  // namespace tessvik::platform
