// jvm.dll for tests: a Java runtime's VM library that creates no VM. It
// exports JNI_CreateJavaVM, hands out the fake JNI function table and writes
// what the launcher asked of it to a record file, one line per event:
//
//   JNI_CreateJavaVM version=0x10008 nOptions=6 ignoreUnrecognized=0
//   option <text>                  one per VM option, in order
//   module <path>                  this library's own path
//   dll-directory <path>           what SetDllDirectory holds at that moment
//   working-directory <path>
//   standard-input <type>          what System.in would read: disk, char, pipe
//                                  or unknown
//   code-page <n>                  the process's ANSI code page (GetACP), in
//                                  which HotSpot reads the option bytes
//   console-code-page <n>          the console's output code page; 0 without one
//   <fake JNI log line>            FindClass ..., GetStaticMethodID ..., ...
//   argument[<i>] <bytes>          each element of the String[] given to main
//
// Texts are written as the bytes received. Environment variables:
//   FAKE_JVM_RECORD          the record file (no record when unset)
//   FAKE_JVM_REFUSE          when set, creation fails with JNI_EINVAL
//   FAKE_JVM_MISSING_CLASS   a class name FindClass does not know
//   FAKE_JVM_SAY             lines (separated by "\n") the VM writes while it
//                            is created, the way FAKE_JVM_SAY_THROUGH names:
//       handle               WriteFile to the standard error handle (default)
//       crt                  this library's own C runtime's stderr stream
//       ucrt-stream          ucrtbase.dll's stderr stream, and
//       ucrt-descriptor      its descriptor 1, as HotSpot writes; ucrtbase.dll
//                            is then loaded with this library, as HotSpot's is
//   FAKE_JVM_ABORT           when set, the VM ends the process with status 1
//                            after saying, as HotSpot does after "Error
//                            occurred during initialization of VM" (calling
//                            the "abort" option's hook first when it was given
//                            one, and no other)
//   FAKE_JVM_CRASH           when set, the VM crashes in DestroyJavaVM, after
//                            main returned (the client chose status 0): it
//                            writes its report where -XX:ErrorFile says ("%p"
//                            the process id), else to hs_err_pid<id>.log in
//                            the working directory, and ends the process with
//                            status 1, as HotSpot's error handler does
//   FAKE_JVM_CLIENT_LINES    how many lines main writes, "client line <i>",
//                            through the standard output handle as it was
//                            while the VM was created (as System.out takes it)
//
// The ahead-of-time cache's modes, as HotSpot 25 takes them: -XX:AOTMode=record
// writes the file -XX:AOTConfiguration names; -XX:AOTMode=create writes the file
// -XX:AOTCache names and ends the process with status 0 inside the creation;
// -XX:AOTMode=on starts. The last two are an assembly's, which writes no record
// (the launch that started it has its own).
#define _JNI_IMPLEMENTATION_
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fake_jni.h"

namespace {

std::FILE* record = nullptr;
bool created = false;
HANDLE clientOutput = nullptr;

void writeRecord(const std::string& line) {
    if (record == nullptr) return;
    std::fwrite(line.data(), 1, line.size(), record);
    std::fputc('\n', record);
    std::fflush(record);
}

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The Universal C runtime, loaded with this library when it is to write
// through it, so that it sets up its streams when HotSpot's does: before the
// launcher creates the VM.
const HMODULE ucrt = environmentValue("FAKE_JVM_SAY_THROUGH").rfind("ucrt", 0) == 0
                         ? LoadLibraryA("ucrtbase.dll")
                         : nullptr;

template <typename Function>
Function ucrtFunction(const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(ucrt, name)));
}

void say(const std::string& text) {
    const std::string way = environmentValue("FAKE_JVM_SAY_THROUGH");
    const std::string line = text + "\n";
    if (way == "crt") {
        std::fputs(line.c_str(), stderr);
        std::fflush(stderr);
    } else if (way == "ucrt-stream") {
        void* const stream = ucrtFunction<void* (*)(unsigned)>("__acrt_iob_func")(2);
        ucrtFunction<int (*)(const char*, void*)>("fputs")(line.c_str(), stream);
        ucrtFunction<int (*)(void*)>("fflush")(stream);
    } else if (way == "ucrt-descriptor") {
        ucrtFunction<int (*)(int, const void*, unsigned)>("_write")(
            1, line.data(), static_cast<unsigned>(line.size()));
    } else {
        const std::string crlf = text + "\r\n";
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), crlf.data(), static_cast<DWORD>(crlf.size()),
                  &written, nullptr);
    }
}

void sayLines(const std::string& lines) {
    std::size_t start = 0;
    for (std::size_t end; (end = lines.find('\n', start)) != std::string::npos; start = end + 1) {
        say(lines.substr(start, end - start));
    }
    say(lines.substr(start));
}

// The "abort" option's hook, when the VM was given one.
void(JNICALL* abortHook)() = nullptr;

// Ends the process as HotSpot's os::abort does: the hook it was given, if
// any, then status 1.
[[noreturn]] void abortProcess() {
    if (abortHook != nullptr) abortHook();
    ExitProcess(1);
}

void writeClientLines() {
    const long count = std::strtol(environmentValue("FAKE_JVM_CLIENT_LINES").c_str(), nullptr, 10);
    for (long i = 0; i < count; ++i) {
        const std::string line = "client line " + std::to_string(i) + "\r\n";
        DWORD written = 0;
        WriteFile(clientOutput, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
}

const char* fileType(HANDLE handle) {
    switch (GetFileType(handle)) {
        case FILE_TYPE_DISK: return "disk";
        case FILE_TYPE_CHAR: return "char";
        case FILE_TYPE_PIPE: return "pipe";
        default: return "unknown";
    }
}

std::string ownPath() {
    HMODULE self = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&writeRecord), &self);
    std::vector<char> path(32768);
    const DWORD length = GetModuleFileNameA(self, path.data(), static_cast<DWORD>(path.size()));
    return std::string(path.data(), length);
}

std::string dllDirectory() {
    std::vector<char> path(32768);
    const DWORD length = GetDllDirectoryA(static_cast<DWORD>(path.size()), path.data());
    return std::string(path.data(), length);
}

std::string workingDirectory() {
    std::vector<char> path(32768);
    const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(path.size()), path.data());
    return std::string(path.data(), length);
}

// The value of the option that begins with name, or "".
std::string optionValue(const JavaVMInitArgs& initArgs, const std::string& name) {
    for (jint i = 0; i < initArgs.nOptions; ++i) {
        const std::string option = initArgs.options[i].optionString;
        if (option.compare(0, name.size(), name) == 0) return option.substr(name.size());
    }
    return {};
}

void writeFile(const std::string& path, const std::string& content) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return;
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
}

std::string errorFile;  // the -XX:ErrorFile value, "" without one

// HotSpot's report of a crash, where it writes it.
void writeCrashReport() {
    const std::string pattern = errorFile.empty() ? "hs_err_pid%p.log" : errorFile;
    const std::string pid = std::to_string(GetCurrentProcessId());
    std::string path;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const bool expanded = pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 'p';
        path += expanded ? pid : pattern.substr(i, 1);
        i += expanded ? 1 : 0;
    }
    writeFile(path, "# A fatal error has been detected by the Java Runtime Environment\n");
}

// The client's main: writes its lines and records its arguments.
void runMain(const fakejni::Method& method, const std::vector<jvalue>& arguments) {
    if (method.name != "main" || arguments.empty()) return;
    writeClientLines();
    const fakejni::Object* array = fakejni::inspect(arguments[0].l);
    if (array == nullptr || array->kind != fakejni::Object::Kind::objectArray) return;
    for (std::size_t i = 0; i < array->elements.size(); ++i) {
        const fakejni::Object* element = array->elements[i];
        writeRecord("argument[" + std::to_string(i) + "] " +
                    (element != nullptr ? element->text : std::string("<null>")));
    }
}

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** pvm, void** penv, void* args) {
    const auto* initArgs = static_cast<const JavaVMInitArgs*>(args);
    const std::string aotMode = optionValue(*initArgs, "-XX:AOTMode=");
    if (aotMode == "create") {
        writeFile(optionValue(*initArgs, "-XX:AOTCache="), "an ahead-of-time cache");
        ExitProcess(0);
    }
    if (aotMode == "record") {
        writeFile(optionValue(*initArgs, "-XX:AOTConfiguration="), "a recorded configuration");
    }
    const std::string recordPath = environmentValue("FAKE_JVM_RECORD");
    if (!recordPath.empty() && record == nullptr && aotMode != "on") {
        record = std::fopen(recordPath.c_str(), "wb");
    }

    char version[16];
    std::snprintf(version, sizeof version, "0x%x", static_cast<unsigned>(initArgs->version));
    writeRecord(std::string("JNI_CreateJavaVM version=") + version +
                " nOptions=" + std::to_string(initArgs->nOptions) +
                " ignoreUnrecognized=" + std::to_string(initArgs->ignoreUnrecognized));
    for (jint i = 0; i < initArgs->nOptions; ++i) {
        writeRecord(std::string("option ") + initArgs->options[i].optionString);
        if (std::string(initArgs->options[i].optionString) == "abort") {
            abortHook = reinterpret_cast<void(JNICALL*)()>(initArgs->options[i].extraInfo);
        }
    }
    errorFile = optionValue(*initArgs, "-XX:ErrorFile=");
    writeRecord("module " + ownPath());
    writeRecord("dll-directory " + dllDirectory());
    writeRecord("working-directory " + workingDirectory());
    writeRecord(std::string("standard-input ") + fileType(GetStdHandle(STD_INPUT_HANDLE)));
    writeRecord("code-page " + std::to_string(GetACP()));
    writeRecord("console-code-page " + std::to_string(GetConsoleOutputCP()));

    const std::string said = environmentValue("FAKE_JVM_SAY");
    if (!said.empty()) sayLines(said);
    if (!environmentValue("FAKE_JVM_ABORT").empty()) abortProcess();
    clientOutput = GetStdHandle(STD_OUTPUT_HANDLE);

    if (!environmentValue("FAKE_JVM_REFUSE").empty()) {
        writeRecord("refused");
        return JNI_EINVAL;
    }

    fakejni::reset();
    fakejni::settings().logSink = [](const std::string& line) {
        writeRecord(line);
        if (line == "DestroyJavaVM" && !environmentValue("FAKE_JVM_CRASH").empty()) {
            writeCrashReport();
            abortProcess();
        }
    };
    const std::string missing = environmentValue("FAKE_JVM_MISSING_CLASS");
    if (!missing.empty()) fakejni::settings().missingClasses.insert(missing);
    fakejni::settings().methodHook = runMain;
    created = true;
    *pvm = fakejni::vm();
    *penv = fakejni::env();
    return JNI_OK;
}

JNIEXPORT jint JNICALL JNI_GetDefaultJavaVMInitArgs(void*) { return JNI_OK; }

JNIEXPORT jint JNICALL JNI_GetCreatedJavaVMs(JavaVM** vms, jsize capacity, jsize* count) {
    *count = 0;
    if (created && capacity > 0) {
        vms[0] = fakejni::vm();
        *count = 1;
    }
    return JNI_OK;
}

}  // extern "C"
