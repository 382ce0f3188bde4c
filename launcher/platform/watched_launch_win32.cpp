// The watcher's side of a launch on Windows: the handles the launcher
// handed it, and the reader of the launcher's caught output.
//
// The pipe that the launcher's standard output and standard error write into
// while the VM starts is read here, in another process, so that what the VM
// writes just before it ends the process (HotSpot's "Error occurred during
// initialization of VM") is read even after that process is gone.
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <utility>

#include "handles_win32.h"
#include "launch_watcher_win32.h"
#include "platform.h"

namespace platform {

namespace {

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

struct WatchedLaunch::State {
    DWORD processId = 0;
    OwnedHandle process;
    OwnedHandle channel;
    OwnedHandle back;
    std::shared_ptr<CaughtText> caught;  // null without a capture
};

WatchedLaunch::WatchedLaunch(std::unique_ptr<State> state) : state_(std::move(state)) {}

WatchedLaunch::~WatchedLaunch() = default;

std::unique_ptr<WatchedLaunch> WatchedLaunch::fromVariable(const std::string& value) {
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
    return std::unique_ptr<WatchedLaunch>(new WatchedLaunch(std::move(state)));
}

std::string WatchedLaunch::receive() {
    char chunk[4096];
    DWORD got = 0;
    if (!ReadFile(state_->channel.get(), chunk, sizeof chunk, &got, nullptr)) return {};
    return std::string(chunk, got);
}

void WatchedLaunch::reply(const std::string& bytes) {
    writeWhole(state_->back.get(), bytes);
    state_->back.reset();
}

std::string WatchedLaunch::caughtOutput() {
    return state_->caught ? state_->caught->takeAtEnd() : std::string();
}

void WatchedLaunch::shareConsole() { AttachConsole(state_->processId); }

int WatchedLaunch::waitForEnd() {
    DWORD status = 0;
    WaitForSingleObject(state_->process.get(), INFINITE);
    if (!GetExitCodeProcess(state_->process.get(), &status)) return -1;
    return static_cast<int>(status);
}

std::uint64_t WatchedLaunch::processId() const { return state_->processId; }

std::int64_t WatchedLaunch::startTime() const {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(state_->process.get(), &created, &exited, &kernel, &user)) return 0;
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(created.dwHighDateTime) << 32) |
                                     created.dwLowDateTime);
}

}  // namespace platform
