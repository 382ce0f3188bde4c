// This process and the programs it starts, on Windows: the command line as
// the process received it, in UTF-16; helper programs started with
// CreateProcessW (program_start.h); the main thread's stack, which is the
// reserve in the executable's header (Tessvik.exe is linked with a large one;
// reserving costs address space, not memory) and cannot change once the
// program runs.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "modified_utf8.h"
#include "processes.h"
#include "program_start.h"

namespace tessvik::platform {

std::vector<std::string> commandLineArguments(const std::vector<std::string>&) {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* split = CommandLineToArgvW(GetCommandLineW(), &count);
    if (split == nullptr) return arguments;
    for (int i = 0; i < count; ++i) {
        std::u16string text;
        for (const wchar_t* unit = split[i]; *unit != L'\0'; ++unit) {
            text += static_cast<char16_t>(*unit);
        }
        arguments.push_back(modifiedUtf8FromUtf16(text));
    }
    LocalFree(split);
    return arguments;
}

bool startDetached(const std::vector<std::string>& arguments,
                   const EnvironmentAdditions& environment) {
    if (arguments.empty()) return false;
    const DWORD flags = DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP | BELOW_NORMAL_PRIORITY_CLASS;
    // Out of the job this process may run in (a store client's), which may
    // end every process in it with the game; a job that allows no breakaway
    // refuses that, and the program then starts inside it.
    process::WindowsStart start{arguments.front(),
                                process::commandLineOf(arguments),
                                environment,
                                flags | CREATE_BREAKAWAY_FROM_JOB,
                                {},
                                nullptr};
    if (process::startProgram(start)) return true;
    start.flags = flags;
    return static_cast<bool>(process::startProgram(start));
}

int runToEnd(const std::vector<std::string>& arguments, const EnvironmentAdditions& environment) {
    // No console window for a console program such as java.exe. The program
    // runs in a job that ends it when this process's handle of the job
    // closes: however this process ends, nothing done for it outlives it.
    if (arguments.empty()) return -1;
    const process::OwnedHandle job(CreateJobObjectW(nullptr, nullptr));
    if (job) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                sizeof limits);
    }
    const process::OwnedHandle program = process::startProgram({arguments.front(),
                                                                process::commandLineOf(arguments),
                                                                environment,
                                                                CREATE_NO_WINDOW,
                                                                {},
                                                                job.get()});
    DWORD status = 0;
    if (!program || WaitForSingleObject(program.get(), INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(program.get(), &status)) {
        return -1;
    }
    return static_cast<int>(status);
}

void lowerOwnPriority() {
    const DWORD current = GetPriorityClass(GetCurrentProcess());
    if (current != IDLE_PRIORITY_CLASS && current != BELOW_NORMAL_PRIORITY_CLASS) {
        SetPriorityClass(GetCurrentProcess(), BELOW_NORMAL_PRIORITY_CLASS);
    }
}

void endWithParent() {}

PreparedStart::PreparedStart(const std::vector<std::string>&, const std::string&,
                             const std::string&) {}

void PreparedStart::replaceProcessNow() const {}

void unsetEnvironment(const char* name) { _putenv_s(name, ""); }

void openClosedStandardStreams() {}

std::uint64_t mainThreadStackSize() {
    const auto* image = reinterpret_cast<const unsigned char*>(GetModuleHandleA(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
    return nt->OptionalHeader.SizeOfStackReserve;
}

LaunchStart launchStart() { return LaunchStart::first; }

void growMainThreadStack(std::uint64_t, const std::vector<std::string>&, LaunchStart) {}

}  // namespace tessvik::platform
