// Helper processes on Windows: CreateProcessW with a command line quoted the
// way the C runtime splits it, and an environment block of this process's
// variables with the additions.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "child_process_win32.h"
#include "handles_win32.h"
#include "platform.h"

namespace platform {

namespace {

// The process's narrow text (the code page its manifest chose) as UTF-16.
std::wstring wide(const std::string& text) {
    if (text.empty()) return {};
    const int length =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &result[0], length);
    return result;
}

// One argument as the C runtime's command-line splitting gives it back:
// quoted, with the backslashes before a quote doubled.
void appendQuoted(std::wstring& line, const std::wstring& argument) {
    line += L'"';
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

std::wstring commandLineOf(const std::vector<std::string>& arguments) {
    std::wstring line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line += L' ';
        appendQuoted(line, wide(argument));
    }
    return line;
}

// This process's environment block with the additions put in place of the
// variables of the same name (names compared without letter case).
std::wstring environmentBlockWith(const EnvironmentAdditions& additions) {
    std::vector<std::wstring> names;
    std::vector<std::wstring> entries;
    for (const auto& variable : additions) names.push_back(wide(variable.first) + L'=');
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; entry != nullptr && *entry != L'\0';
         entry += wcslen(entry) + 1) {
        bool replaced = false;
        for (const std::wstring& name : names) {
            replaced = replaced || _wcsnicmp(entry, name.c_str(), name.size()) == 0;
        }
        if (!replaced) entries.emplace_back(entry);
    }
    if (strings != nullptr) FreeEnvironmentStringsW(strings);
    for (const auto& variable : additions)
        entries.push_back(wide(variable.first + '=' + variable.second));
    // The block is sorted by name, letter case ignored, as CreateProcess asks.
    std::sort(entries.begin(), entries.end(), [](const std::wstring& a, const std::wstring& b) {
        return _wcsicmp(a.c_str(), b.c_str()) < 0;
    });
    std::wstring block;
    for (const std::wstring& entry : entries) block.append(entry).push_back(L'\0');
    block.push_back(L'\0');
    return block;
}

}  // namespace

OwnedHandle startChild(const std::vector<std::string>& arguments,
                       const EnvironmentAdditions& environment, DWORD flags,
                       std::vector<HANDLE> inherited, HANDLE job) {
    if (arguments.empty()) return OwnedHandle();
    if (job != nullptr) flags |= CREATE_SUSPENDED;
    std::wstring line = commandLineOf(arguments);
    std::wstring block = environmentBlockWith(environment);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup.StartupInfo;
    // Only the handles listed, never another inheritable one of this process.
    std::vector<char> attributes;
    if (!inherited.empty()) {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        attributes.resize(size);
        startup.lpAttributeList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
        if (!InitializeProcThreadAttributeList(startup.lpAttributeList, 1, 0, &size) ||
            !UpdateProcThreadAttribute(startup.lpAttributeList, 0,
                                       PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(),
                                       inherited.size() * sizeof(HANDLE), nullptr, nullptr)) {
            return OwnedHandle();
        }
        startup.StartupInfo.cb = sizeof startup;
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    }
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(wide(arguments.front()).c_str(), &line[0], nullptr, nullptr,
                                        !inherited.empty(), flags | CREATE_UNICODE_ENVIRONMENT,
                                        &block[0], nullptr, &startup.StartupInfo, &process);
    if (startup.lpAttributeList != nullptr) DeleteProcThreadAttributeList(startup.lpAttributeList);
    if (!started) return OwnedHandle();
    if (job != nullptr) {
        AssignProcessToJobObject(job, process.hProcess);
        ResumeThread(process.hThread);
    }
    CloseHandle(process.hThread);
    return OwnedHandle(process.hProcess);
}

bool startDetached(const std::vector<std::string>& arguments,
                   const EnvironmentAdditions& environment) {
    const DWORD flags = DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP | BELOW_NORMAL_PRIORITY_CLASS;
    // Out of the job this process may run in (a store client's), which may
    // end every process in it with the game; a job that allows no breakaway
    // refuses that, and the program then starts inside it.
    return static_cast<bool>(
               startChild(arguments, environment, flags | CREATE_BREAKAWAY_FROM_JOB)) ||
           static_cast<bool>(startChild(arguments, environment, flags));
}

int runToEnd(const std::vector<std::string>& arguments, const EnvironmentAdditions& environment) {
    // No console window for a console program such as java.exe. The program
    // runs in a job that ends it when this process's handle of the job
    // closes: however this process ends, nothing done for it outlives it.
    const OwnedHandle job(CreateJobObjectW(nullptr, nullptr));
    if (job) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                sizeof limits);
    }
    const OwnedHandle process = startChild(arguments, environment, CREATE_NO_WINDOW, {}, job.get());
    DWORD status = 0;
    if (!process || WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.get(), &status)) {
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

}  // namespace platform
