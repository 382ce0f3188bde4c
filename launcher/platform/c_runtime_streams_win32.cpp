#include "c_runtime_streams_win32.h"

#include "windows_handle.h"

namespace tessvik::platform {

namespace {

template <typename Function>
bool resolve(HMODULE module, const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return function != nullptr;
}

// Keeps the standard handles open while the C runtimes' descriptors are
// pointed at the pipe. A runtime set up from them holds the handles
// themselves and closes the one a descriptor held when pointing it elsewhere,
// though standard input, the other runtimes and the standard handles still
// hold it, and a closed handle's number is soon given to a new handle. (A
// debugger reports each refused close as an exception it may pass on.)
class CloseProtection {
public:
    CloseProtection() {
        for (const DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
            const HANDLE handle = GetStdHandle(which);
            DWORD flags = 0;
            if (!process::isHandle(handle) || !GetHandleInformation(handle, &flags) ||
                (flags & HANDLE_FLAG_PROTECT_FROM_CLOSE) != 0 ||
                !SetHandleInformation(handle, HANDLE_FLAG_PROTECT_FROM_CLOSE,
                                      HANDLE_FLAG_PROTECT_FROM_CLOSE)) {
                continue;
            }
            protected_.push_back(handle);
        }
    }
    ~CloseProtection() {
        for (const HANDLE handle : protected_) {
            SetHandleInformation(handle, HANDLE_FLAG_PROTECT_FROM_CLOSE, 0);
        }
    }
    CloseProtection(const CloseProtection&) = delete;
    CloseProtection& operator=(const CloseProtection&) = delete;

private:
    std::vector<HANDLE> protected_;
};

struct KnownRuntime {
    const char* moduleName;
    bool universal;  // the Universal CRT hands out one stream at a time
};

// The C runtimes that Java runtimes and this program link dynamically.
constexpr KnownRuntime knownRuntimes[] = {
    {"ucrtbase.dll", true},   // current Java runtimes (Visual C++ 2015 and later)
    {"msvcr120.dll", false},  // Visual C++ 2013
    {"msvcr100.dll", false},  // Java 7 and 8 (Visual C++ 2010)
    {"msvcrt.dll", false},    // this program and libraries built with MinGW
};

}  // namespace

bool CRuntimeStreams::find(const char* moduleName, bool universal) {
    const HMODULE module = GetModuleHandleA(moduleName);
    if (module == nullptr || !resolve(module, "_dup2", dup2_) ||
        !resolve(module, "_open_osfhandle", openOsHandle_) || !resolve(module, "_close", close_) ||
        !resolve(module, "_fileno", fileno_) || !resolve(module, "fflush", fflush_) ||
        !resolve(module, "freopen", freopen_)) {
        return false;
    }
    if (universal) {
        void* (*streamOf)(unsigned) = nullptr;
        if (!resolve(module, "__acrt_iob_func", streamOf)) return false;
        streams_[0] = streamOf(1);
        streams_[1] = streamOf(2);
    } else {
        // The older runtimes hand out their array of FILE records, each 48
        // bytes on 64-bit Windows: stdin, stdout, stderr.
        constexpr std::size_t fileRecordSize = 48;
        void* (*streamArray)() = nullptr;
        if (!resolve(module, "__iob_func", streamArray)) return false;
        char* const first = static_cast<char*>(streamArray());
        streams_[0] = first + fileRecordSize;
        streams_[1] = first + 2 * fileRecordSize;
    }
    return true;
}

void CRuntimeStreams::sendTo(HANDLE pipe) const {
    const HANDLE copy = process::duplicate(pipe);
    if (copy == nullptr) return;
    constexpr int textMode = 0x4000;  // _O_TEXT
    const int pipeDescriptor = openOsHandle_(reinterpret_cast<std::intptr_t>(copy), textMode);
    if (pipeDescriptor < 0) {
        CloseHandle(copy);
        return;
    }
    for (int i = 0; i < 2; ++i) {
        void* const stream = streams_[i];
        fflush_(stream);
        dup2_(pipeDescriptor, i + 1);
        // A stream set up without a handle has no descriptor; reopening it on
        // the null device gives it one that can be pointed at the pipe.
        // (Wine's freopen refuses such a stream; its writes then still fail,
        // as they did before.)
        if (fileno_(stream) < 0) freopen_("NUL", "w", stream);
        const int streamDescriptor = fileno_(stream);
        if (streamDescriptor >= 0 && streamDescriptor != i + 1) {
            dup2_(pipeDescriptor, streamDescriptor);
        }
    }
    close_(pipeDescriptor);
}

void CRuntimeStreams::flush() const {
    fflush_(streams_[0]);
    fflush_(streams_[1]);
}

std::vector<CRuntimeStreams> CRuntimeStreams::sendAllTo(HANDLE pipe) {
    const CloseProtection protection;
    std::vector<CRuntimeStreams> runtimes;
    for (const KnownRuntime& known : knownRuntimes) {
        CRuntimeStreams runtime;
        if (!runtime.find(known.moduleName, known.universal)) continue;
        runtime.sendTo(pipe);
        runtimes.push_back(runtime);
    }
    return runtimes;
}

}  // namespace tessvik::platform
