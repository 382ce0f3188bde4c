// Catching the process's standard output and standard error on Windows.
//
// Setting the standard handles alone does not reach the Java VM. Each C
// runtime sets up its descriptors 1 and 2 and its stdout and stderr streams
// when it is loaded, from the standard handles there are then; started from
// the desktop there are none, and the runtime marks both descriptors and
// streams as having no handle (-2), so writes through them fail. The Java
// runtime's VM library brings its own C runtime, loaded with it before the
// VM is created and separate from this program's msvcrt.dll: HotSpot writes
// "Error occurred during initialization of VM" through that runtime's
// descriptor 1 and "Unrecognized VM option" through its stderr stream, and
// takes the standard handles themselves for System.out and System.err while
// the VM starts. So the capture points the standard handles at a pipe, and
// also the descriptors and streams of every C runtime already loaded.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "output_capture.h"

namespace platform {

namespace {

// What the capture keeps: the last part of what was written, where the
// reason for a failed start stands.
constexpr std::size_t keptLimit = 64 * 1024;
// How long end() waits for the reader to take what was written before it.
constexpr DWORD endTimeoutMilliseconds = 5000;
// Written through the pipe by end() after everything written before it: once
// the reader meets it, it has all of that.
constexpr char endMark[] = "\x1b[tessvik: end of the caught output]\x1b";
constexpr std::size_t endMarkSize = sizeof endMark - 1;

// A kernel handle closed when its owner ends.
class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE handle = nullptr) : handle_(handle) {}
    ~OwnedHandle() { reset(); }
    OwnedHandle(OwnedHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        reset(std::exchange(other.handle_, nullptr));
        return *this;
    }

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    void reset(HANDLE handle = nullptr) {
        if (*this) CloseHandle(handle_);
        handle_ = handle;
    }

private:
    HANDLE handle_;
};

bool isHandle(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

// A second handle to the same object, or null.
HANDLE duplicate(HANDLE handle) {
    HANDLE copy = nullptr;
    if (!isHandle(handle) || !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(),
                                              &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        return nullptr;
    }
    return copy;
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
            if (!isHandle(handle) || !GetHandleInformation(handle, &flags) ||
                (flags & HANDLE_FLAG_PROTECT_FROM_CLOSE) != 0 ||
                !SetHandleInformation(handle, HANDLE_FLAG_PROTECT_FROM_CLOSE, HANDLE_FLAG_PROTECT_FROM_CLOSE)) {
                continue;
            }
            protected_.push_back(handle);
        }
    }
    ~CloseProtection() {
        for (const HANDLE handle : protected_) SetHandleInformation(handle, HANDLE_FLAG_PROTECT_FROM_CLOSE, 0);
    }
    CloseProtection(const CloseProtection&) = delete;
    CloseProtection& operator=(const CloseProtection&) = delete;

private:
    std::vector<HANDLE> protected_;
};

// What the reader has taken from the pipe, shared between the capture and
// the reader thread.
class CaughtText {
public:
    void add(const char* data, std::size_t size) {
        AcquireSRWLockExclusive(&lock_);
        const bool wasEnded = ended_;
        if (!ended_) {
            // The mark may have begun in the previous read.
            const std::size_t searchFrom = text_.size() >= endMarkSize ? text_.size() - endMarkSize + 1 : 0;
            text_.append(data, size);
            const std::size_t mark = text_.find(endMark, searchFrom, endMarkSize);
            if (mark != std::string::npos) {
                text_.resize(mark);
                ended_ = true;
            }
            keepTail();
        }
        const bool endedNow = ended_ && !wasEnded;
        ReleaseSRWLockExclusive(&lock_);
        if (endedNow) WakeAllConditionVariable(&endedCondition_);
    }

    void pipeClosed() {
        AcquireSRWLockExclusive(&lock_);
        ended_ = true;
        ReleaseSRWLockExclusive(&lock_);
        WakeAllConditionVariable(&endedCondition_);
    }

    // Waits until the end mark has come through the pipe (or the pipe has
    // closed, or the wait has timed out); from then on, nothing is kept.
    std::string takeAtEnd() {
        AcquireSRWLockExclusive(&lock_);
        const ULONGLONG deadline = GetTickCount64() + endTimeoutMilliseconds;
        while (!ended_) {
            const ULONGLONG now = GetTickCount64();
            if (now >= deadline ||
                !SleepConditionVariableSRW(&endedCondition_, &lock_, static_cast<DWORD>(deadline - now), 0)) {
                break;
            }
        }
        ended_ = true;
        std::string text = std::move(text_);
        text_ = std::string();
        ReleaseSRWLockExclusive(&lock_);
        return text;
    }

private:
    // Drops the beginning beyond the limit, up to the start of a line.
    void keepTail() {
        if (text_.size() <= keptLimit) return;
        const std::size_t lineEnd = text_.find('\n', text_.size() - keptLimit);
        text_.erase(0, lineEnd != std::string::npos ? lineEnd + 1 : text_.size() - keptLimit);
    }

    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE endedCondition_ = CONDITION_VARIABLE_INIT;
    std::string text_;
    bool ended_ = false;
};

// The reader thread's own part: the read end of the pipe and the text.
struct Reader {
    OwnedHandle readEnd;
    std::shared_ptr<CaughtText> text;
};

// Runs for the rest of the process: the pipe never closes while the writers
// that took it during the capture keep their handles.
DWORD WINAPI readPipe(void* parameter) {
    const std::unique_ptr<Reader> reader(static_cast<Reader*>(parameter));
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(reader->readEnd.get(), chunk, sizeof chunk, &got, nullptr)) {
        reader->text->add(chunk, got);
    }
    reader->text->pipeClosed();
    return 0;
}

// The descriptors and streams of one C runtime loaded in the process, through
// its own exports.
class RuntimeStreams {
public:
    // Resolves what is needed in the runtime named, when it is loaded.
    bool find(const char* moduleName, bool universal) {
        const HMODULE module = GetModuleHandleA(moduleName);
        if (module == nullptr || !resolve(module, "_dup2", dup2_) ||
            !resolve(module, "_open_osfhandle", openOsHandle_) || !resolve(module, "_close", close_) ||
            !resolve(module, "_fileno", fileno_) || !resolve(module, "fflush", fflush_) ||
            !resolve(module, "freopen", freopen_)) {
            return false;
        }
        if (universal) {
            StreamOf streamOf = nullptr;
            if (!resolve(module, "__acrt_iob_func", streamOf)) return false;
            streams_[0] = streamOf(1);
            streams_[1] = streamOf(2);
        } else {
            // The older runtimes hand out their array of FILE records, each
            // 48 bytes on 64-bit Windows: stdin, stdout, stderr.
            constexpr std::size_t fileRecordSize = 48;
            StreamArray streamArray = nullptr;
            if (!resolve(module, "__iob_func", streamArray)) return false;
            char* const first = static_cast<char*>(streamArray());
            streams_[0] = first + fileRecordSize;
            streams_[1] = first + 2 * fileRecordSize;
        }
        return true;
    }

    // Points descriptors 1 and 2, and the descriptors of stdout and stderr,
    // at the pipe. What the streams buffered until now goes where it was
    // going.
    void sendTo(HANDLE pipe) const {
        const HANDLE copy = duplicate(pipe);
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
            // A stream set up without a handle has no descriptor; reopening
            // it on the null device gives it one that can be pointed at the
            // pipe. (Wine's freopen refuses such a stream; its writes then
            // still fail, as they did before.)
            if (fileno_(stream) < 0) freopen_("NUL", "w", stream);
            const int streamDescriptor = fileno_(stream);
            if (streamDescriptor >= 0 && streamDescriptor != i + 1) dup2_(pipeDescriptor, streamDescriptor);
        }
        close_(pipeDescriptor);
    }

    void flush() const {
        fflush_(streams_[0]);
        fflush_(streams_[1]);
    }

private:
    using Dup2 = int (*)(int, int);
    using OpenOsHandle = int (*)(std::intptr_t, int);
    using Close = int (*)(int);
    using Fileno = int (*)(void*);
    using Fflush = int (*)(void*);
    using Freopen = void* (*)(const char*, const char*, void*);
    using StreamOf = void* (*)(unsigned);
    using StreamArray = void* (*)();

    template <typename Function>
    static bool resolve(HMODULE module, const char* name, Function& function) {
        function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
        return function != nullptr;
    }

    Dup2 dup2_ = nullptr;
    OpenOsHandle openOsHandle_ = nullptr;
    Close close_ = nullptr;
    Fileno fileno_ = nullptr;
    Fflush fflush_ = nullptr;
    Freopen freopen_ = nullptr;
    void* streams_[2] = {nullptr, nullptr};  // stdout, stderr (the runtime's own FILE records)
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

struct OutputCapture::State {
    std::shared_ptr<CaughtText> text;
    OwnedHandle writeEnd;  // for the end mark
    HANDLE outputBefore = nullptr;
    HANDLE errorBefore = nullptr;
    std::vector<RuntimeStreams> runtimes;
};

OutputCapture::OutputCapture() {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    if (!CreatePipe(&read, &write, nullptr, 0)) return;
    auto state = std::make_unique<State>();
    state->writeEnd.reset(write);
    state->text = std::make_shared<CaughtText>();
    auto reader = std::make_unique<Reader>(Reader{OwnedHandle(read), state->text});
    OwnedHandle thread(CreateThread(nullptr, 0, readPipe, reader.get(), 0, nullptr));
    if (!thread) return;
    reader.release();  // the thread's own now

    // The standard handles get a copy of the write end that is never
    // closed: whoever takes it while the capture runs keeps using it.
    const HANDLE standardCopy = duplicate(write);
    if (standardCopy == nullptr) return;
    state->outputBefore = GetStdHandle(STD_OUTPUT_HANDLE);
    state->errorBefore = GetStdHandle(STD_ERROR_HANDLE);
    {
        const CloseProtection protection;
        SetStdHandle(STD_OUTPUT_HANDLE, standardCopy);
        SetStdHandle(STD_ERROR_HANDLE, standardCopy);
        for (const KnownRuntime& known : knownRuntimes) {
            RuntimeStreams runtime;
            if (!runtime.find(known.moduleName, known.universal)) continue;
            runtime.sendTo(write);
            state->runtimes.push_back(runtime);
        }
    }
    state_ = std::move(state);
}

OutputCapture::~OutputCapture() { end(); }

std::string OutputCapture::end() {
    if (!state_) return {};
    const std::unique_ptr<State> state = std::move(state_);
    for (const RuntimeStreams& runtime : state->runtimes) runtime.flush();
    SetStdHandle(STD_OUTPUT_HANDLE, state->outputBefore);
    SetStdHandle(STD_ERROR_HANDLE, state->errorBefore);
    DWORD written = 0;
    WriteFile(state->writeEnd.get(), endMark, static_cast<DWORD>(endMarkSize), &written, nullptr);
    return state->text->takeAtEnd();
}

}  // namespace platform
