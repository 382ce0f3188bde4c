// jvm.dll for tests: a Java runtime's VM library that creates no VM. It
// exports JNI_CreateJavaVM, hands out the fake JNI function table and writes
// what the launcher asked of it to a record file, one line per event:
//
//   JNI_CreateJavaVM version=0x10008 nOptions=6 ignoreUnrecognized=0
//   option <text>                  one per VM option, in order
//   module <path>                  this library's own path
//   dll-directory <path>           what SetDllDirectory holds at that moment
//   working-directory <path>
//   <fake JNI log line>            FindClass ..., GetStaticMethodID ..., ...
//   argument[<i>] <bytes>          each element of the String[] given to main
//
// Texts are written as the bytes received. Environment variables:
//   FAKE_JVM_RECORD          the record file (no record when unset)
//   FAKE_JVM_REFUSE          when set, creation fails with JNI_EINVAL
//   FAKE_JVM_MISSING_CLASS   a class name FindClass does not know
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

std::string ownPath() {
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
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

void recordMainArguments(const fakejni::Method& method, const std::vector<jvalue>& arguments) {
    if (method.name != "main" || arguments.empty()) return;
    const fakejni::Object* array = fakejni::inspect(arguments[0].l);
    if (array == nullptr || array->kind != fakejni::Object::Kind::objectArray) return;
    for (std::size_t i = 0; i < array->elements.size(); ++i) {
        const fakejni::Object* element = fakejni::inspect(array->elements[i]);
        writeRecord("argument[" + std::to_string(i) + "] " +
                    (element != nullptr ? element->text : std::string("<null>")));
    }
}

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** pvm, void** penv, void* args) {
    const std::string recordPath = environmentValue("FAKE_JVM_RECORD");
    if (!recordPath.empty() && record == nullptr) record = std::fopen(recordPath.c_str(), "wb");

    const auto* initArgs = static_cast<const JavaVMInitArgs*>(args);
    char version[16];
    std::snprintf(version, sizeof version, "0x%x", static_cast<unsigned>(initArgs->version));
    writeRecord(std::string("JNI_CreateJavaVM version=") + version +
                " nOptions=" + std::to_string(initArgs->nOptions) +
                " ignoreUnrecognized=" + std::to_string(initArgs->ignoreUnrecognized));
    for (jint i = 0; i < initArgs->nOptions; ++i) {
        writeRecord(std::string("option ") + initArgs->options[i].optionString);
    }
    writeRecord("module " + ownPath());
    writeRecord("dll-directory " + dllDirectory());
    writeRecord("working-directory " + workingDirectory());

    if (!environmentValue("FAKE_JVM_REFUSE").empty()) {
        writeRecord("refused");
        return JNI_EINVAL;
    }

    fakejni::reset();
    fakejni::setLogSink(writeRecord);
    const std::string missing = environmentValue("FAKE_JVM_MISSING_CLASS");
    if (!missing.empty()) {
        fakejni::setClassFilter([missing](const std::string& name) { return name != missing; });
    }
    fakejni::setMethodHook(recordMainArguments);
    created = true;
    *pvm = fakejni::javaVm();
    *penv = fakejni::environment();
    return JNI_OK;
}

JNIEXPORT jint JNICALL JNI_GetDefaultJavaVMInitArgs(void*) { return JNI_OK; }

JNIEXPORT jint JNICALL JNI_GetCreatedJavaVMs(JavaVM** vms, jsize capacity, jsize* count) {
    *count = 0;
    if (created && capacity > 0) {
        vms[0] = fakejni::javaVm();
        *count = 1;
    }
    return JNI_OK;
}

}  // extern "C"
