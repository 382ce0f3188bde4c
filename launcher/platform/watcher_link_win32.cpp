// The link between a launch and its watcher on Windows, both ends.
//
// The launcher's end: the watcher started with the handles it inherits, the
// channel to it, and the capture of the process's output into the pipe it
// reads. Setting the standard handles alone does not reach the Java VM: its
// own C runtime set up its descriptors and streams when it was loaded, before
// the capture (c_runtime_streams_win32.h). HotSpot writes its reasons through
// those, and takes the standard handles themselves for System.out and
// System.err while the VM starts. So the capture points the standard handles
// at the pipe, and also the descriptors and streams of every C runtime loaded.
//
// The watcher's end: the handles the launcher handed it, and the reader of
// the launcher's caught output, read here, in another process, so that what
// the VM writes just before it ends the process (HotSpot's "Error occurred
// during initialization of VM") is read even after that process is gone.
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "c_runtime_streams_win32.h"
#include "paths.h"
#include "processes.h"
#include "program_start.h"
#include "watcher_link.h"

namespace tessvik::platform {

using process::OwnedHandle;

namespace {

// Written through the caught output's pipe by the launcher after everything
// written before it: once the watcher's reader meets it, it has all of that.
constexpr char endMark[] = "\x1b[tessvik: end of the caught output]\x1b";
constexpr std::size_t endMarkSize = sizeof endMark - 1;

// Writes all of bytes to a pipe. False when the reader is gone.
inline bool writeWhole(HANDLE pipe, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(pipe, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                       nullptr)) {
            return false;
        }
        done += written;
    }
    return true;
}

// Room for the VM's lines while the watcher starts, and for the launcher's
// messages, so that neither waits for the watcher.
constexpr DWORD pipeSize = 64 * 1024;

struct Pipe {
    OwnedHandle read;
    OwnedHandle write;
};

Pipe makePipe() {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    if (!CreatePipe(&read, &write, nullptr, pipeSize)) return Pipe();
    return {OwnedHandle(read), OwnedHandle(write)};
}

// The handle made inheritable, for the one child that gets it; the launcher
// closes its own copy once the child started.
HANDLE handOn(const OwnedHandle& handle) {
    SetHandleInformation(handle.get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    return handle.get();
}

std::string number(HANDLE handle) {
    return std::to_string(reinterpret_cast<std::uintptr_t>(handle));
}

// What the capture keeps: the last part of what was written, where the
// reason for a failed start stands.
constexpr std::size_t keptLimit = 64 * 1024;
// How long takeAtEnd() waits for the reader to take what was written before it.
constexpr DWORD endTimeoutMilliseconds = 5000;

// What the reader has taken from the pipe, shared between the capture and
// the reader thread.
class CaughtText {
public:
    void add(const char* data, std::size_t size) {
        AcquireSRWLockExclusive(&lock_);
        const bool wasEnded = ended_;
        if (!ended_) {
            // The mark may have begun in the previous read.
            const std::size_t searchFrom =
                text_.size() >= endMarkSize ? text_.size() - endMarkSize + 1 : 0;
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
                !SleepConditionVariableSRW(&endedCondition_, &lock_,
                                           static_cast<DWORD>(deadline - now), 0)) {
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

// Runs until the pipe closes, at the launcher's end at the latest: writers
// that took it while the VM started keep it for the launcher's whole life.
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

}  // namespace

struct WatcherLink::State {
    OwnedHandle channel;     // write end, to the watcher
    OwnedHandle back;        // read end, from the watcher
    OwnedHandle captureEnd;  // write end of the caught output's pipe, for the end mark
    HANDLE outputBefore = nullptr;
    HANDLE errorBefore = nullptr;
    std::vector<CRuntimeStreams> runtimes;
};

WatcherLink::WatcherLink(std::unique_ptr<State> state) : state_(std::move(state)) {}

WatcherLink::~WatcherLink() = default;

std::unique_ptr<WatcherLink> WatcherLink::start(const char* variable, OutputCapture output) {
    const bool catchOutput = output == OutputCapture::toWatcher;
    Pipe channel = makePipe();
    Pipe back = makePipe();
    Pipe capture = catchOutput ? makePipe() : Pipe();
    HANDLE self = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self,
                    SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, 0);
    const OwnedHandle process(self);
    if (!channel.read || !back.read || (catchOutput && !capture.read) || !process) return nullptr;

    std::vector<HANDLE> inherited = {handOn(process), handOn(channel.read), handOn(back.write)};
    if (catchOutput) inherited.push_back(handOn(capture.read));
    const std::string value = std::to_string(GetCurrentProcessId()) + ' ' + number(process.get()) +
                              ' ' + number(channel.read.get()) + ' ' + number(back.write.get()) +
                              ' ' + (catchOutput ? number(capture.read.get()) : "0");
    const std::vector<std::string> arguments = {executablePath()};
    const EnvironmentAdditions environment = {{variable, value}};
    // Out of a job that a store client may end with the game, where the job
    // allows it: the watcher tells how the game ended.
    const DWORD flags = DETACHED_PROCESS;
    process::WindowsStart start{arguments.front(), process::commandLineOf(arguments),
                                environment,       flags | CREATE_BREAKAWAY_FROM_JOB,
                                inherited,         nullptr};
    if (!process::startProgram(start)) {
        start.flags = flags;
        if (!process::startProgram(start)) return nullptr;
    }

    auto state = std::make_unique<State>();
    state->channel = std::move(channel.write);
    state->back = std::move(back.read);
    if (catchOutput) {
        // The standard handles get a copy of the write end that is never
        // closed: whoever takes it while the capture runs keeps using it.
        const HANDLE standardCopy = process::duplicate(capture.write.get());
        if (standardCopy != nullptr) {
            state->outputBefore = GetStdHandle(STD_OUTPUT_HANDLE);
            state->errorBefore = GetStdHandle(STD_ERROR_HANDLE);
            state->runtimes = CRuntimeStreams::sendAllTo(capture.write.get());
            SetStdHandle(STD_OUTPUT_HANDLE, standardCopy);
            SetStdHandle(STD_ERROR_HANDLE, standardCopy);
            state->captureEnd = std::move(capture.write);
        }
    }
    return std::unique_ptr<WatcherLink>(new WatcherLink(std::move(state)));
}

bool WatcherLink::send(const std::string& bytes) {
    return writeWhole(state_->channel.get(), bytes);
}

void WatcherLink::endCapture() {
    if (!state_->captureEnd) return;
    for (const CRuntimeStreams& runtime : state_->runtimes) runtime.flush();
    SetStdHandle(STD_OUTPUT_HANDLE, state_->outputBefore);
    SetStdHandle(STD_ERROR_HANDLE, state_->errorBefore);
    writeWhole(state_->captureEnd.get(), std::string(endMark, endMarkSize));
    state_->captureEnd.reset();
}

std::string WatcherLink::receive(unsigned milliseconds) {
    std::string received;
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(state_->back.get(), nullptr, 0, nullptr, &available, nullptr)) break;
        if (available == 0) {
            if (GetTickCount64() >= deadline) break;
            Sleep(5);
            continue;
        }
        std::string chunk(available, '\0');
        DWORD got = 0;
        if (!ReadFile(state_->back.get(), &chunk[0], available, &got, nullptr)) break;
        received.append(chunk, 0, got);
    }
    return received;
}

struct LauncherLink::State {
    DWORD processId = 0;
    OwnedHandle process;
    OwnedHandle channel;
    OwnedHandle back;
    std::shared_ptr<CaughtText> caught;  // null without a capture
};

LauncherLink::LauncherLink(std::unique_ptr<State> state) : state_(std::move(state)) {}

LauncherLink::~LauncherLink() = default;

std::unique_ptr<LauncherLink> LauncherLink::fromVariable(const std::string& value) {
    std::istringstream fields(value);
    unsigned long long processId = 0;
    unsigned long long handles[4] = {};
    fields >> processId >> handles[0] >> handles[1] >> handles[2] >> handles[3];
    if (!fields || processId == 0) return nullptr;
    const auto handle = [](unsigned long long number) {
        return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(number));
    };
    const auto isPipe = [](HANDLE pipe) { return GetFileType(pipe) == FILE_TYPE_PIPE; };
    // Handles this process inherited from its launcher, or none of this.
    if (GetProcessId(handle(handles[0])) != processId || !isPipe(handle(handles[1])) ||
        !isPipe(handle(handles[2])) || (handles[3] != 0 && !isPipe(handle(handles[3])))) {
        return nullptr;
    }
    auto state = std::make_unique<State>();
    state->processId = static_cast<DWORD>(processId);
    state->process.reset(handle(handles[0]));
    state->channel.reset(handle(handles[1]));
    state->back.reset(handle(handles[2]));
    if (handles[3] != 0) {
        state->caught = std::make_shared<CaughtText>();
        auto reader =
            std::make_unique<Reader>(Reader{OwnedHandle(handle(handles[3])), state->caught});
        const OwnedHandle thread(CreateThread(nullptr, 0, readPipe, reader.get(), 0, nullptr));
        if (thread) reader.release();  // the thread's own now
    }
    return std::unique_ptr<LauncherLink>(new LauncherLink(std::move(state)));
}

std::string LauncherLink::receive() {
    char chunk[4096];
    DWORD got = 0;
    if (!ReadFile(state_->channel.get(), chunk, sizeof chunk, &got, nullptr)) return {};
    return std::string(chunk, got);
}

void LauncherLink::reply(const std::string& bytes) {
    writeWhole(state_->back.get(), bytes);
    state_->back.reset();
}

std::string LauncherLink::caughtOutput() {
    return state_->caught ? state_->caught->takeAtEnd() : std::string();
}

void LauncherLink::shareConsole() { AttachConsole(state_->processId); }

int LauncherLink::waitForEnd() {
    DWORD status = 0;
    WaitForSingleObject(state_->process.get(), INFINITE);
    if (!GetExitCodeProcess(state_->process.get(), &status)) return -1;
    return static_cast<int>(status);
}

std::uint64_t LauncherLink::processId() const { return state_->processId; }

std::int64_t LauncherLink::startTime() const {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(state_->process.get(), &created, &exited, &kernel, &user)) return 0;
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(created.dwHighDateTime) << 32) |
                                     created.dwLowDateTime);
}

}  // namespace tessvik::platform
