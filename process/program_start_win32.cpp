// Starting a program on Windows: CreateProcessW, with an environment block of
// the caller's variables and the additions, and of the caller's handles only
// those named.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "code_page_text.h"
#include "program_start.h"

namespace process {

namespace {

// One argument as the C runtime's command-line splitting gives it back:
// quoted, with the backslashes before a quote doubled.
void appendQuoted(std::string& line, const std::string& argument) {
    line += '"';
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, '\\');
    line += '"';
}

// The caller's environment block with the additions put in place of the
// variables of the same name (names compared without letter case).
std::wstring environmentBlockWith(const Environment& additions) {
    std::vector<std::wstring> names;
    std::vector<std::wstring> entries;
    for (const auto& variable : additions) names.push_back(wideFrom(CP_ACP, variable.first) + L'=');
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
    for (const auto& variable : additions) {
        entries.push_back(wideFrom(CP_ACP, variable.first + '=' + variable.second));
    }
    // The block is sorted by name, letter case ignored, as CreateProcess asks.
    std::sort(entries.begin(), entries.end(), [](const std::wstring& a, const std::wstring& b) {
        return _wcsicmp(a.c_str(), b.c_str()) < 0;
    });
    std::wstring block;
    for (const std::wstring& entry : entries) block.append(entry).push_back(L'\0');
    block.push_back(L'\0');
    return block;
}

// The list of handles a started program inherits, for STARTUPINFOEX.
class InheritedHandles {
public:
    explicit InheritedHandles(std::vector<HANDLE> handles) : handles_(std::move(handles)) {
        if (handles_.empty()) return;
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage_.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
        if (InitializeProcThreadAttributeList(list, 1, 0, &size)) {
            list_ = list;
            valid_ = UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                               handles_.data(), handles_.size() * sizeof(HANDLE),
                                               nullptr, nullptr) != 0;
        }
    }
    ~InheritedHandles() {
        if (list_ != nullptr) DeleteProcThreadAttributeList(list_);
    }
    InheritedHandles(const InheritedHandles&) = delete;
    InheritedHandles& operator=(const InheritedHandles&) = delete;

    bool any() const { return !handles_.empty(); }
    bool valid() const { return !any() || valid_; }
    LPPROC_THREAD_ATTRIBUTE_LIST list() const { return list_; }

private:
    std::vector<HANDLE> handles_;
    std::vector<char> storage_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
    bool valid_ = false;
};

}  // namespace

std::string commandLineOf(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line += ' ';
        appendQuoted(line, argument);
    }
    return line;
}

OwnedHandle startProgram(const WindowsStart& start) {
    DWORD flags = start.flags;
    if (start.job != nullptr) flags |= CREATE_SUSPENDED;
    std::wstring line = wideFrom(CP_ACP, start.commandLine);
    line.push_back(L'\0');  // CreateProcessW may write into it; never empty
    std::wstring block;
    if (!start.environment.empty()) {
        block = environmentBlockWith(start.environment);
        flags |= CREATE_UNICODE_ENVIRONMENT;
    }
    const InheritedHandles inherited(start.inherited);
    if (!inherited.valid()) return OwnedHandle();
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup.StartupInfo;
    if (inherited.any()) {
        startup.lpAttributeList = inherited.list();
        startup.StartupInfo.cb = sizeof startup;
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    }
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(wideFrom(CP_ACP, start.program).c_str(), &line[0], nullptr, nullptr,
                        inherited.any(), flags, block.empty() ? nullptr : &block[0], nullptr,
                        &startup.StartupInfo, &process)) {
        return OwnedHandle();
    }
    if (start.job != nullptr) {
        AssignProcessToJobObject(start.job, process.hProcess);
        ResumeThread(process.hThread);
    }
    CloseHandle(process.hThread);
    return OwnedHandle(process.hProcess);
}

}  // namespace process
