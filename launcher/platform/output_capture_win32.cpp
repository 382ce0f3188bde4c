// Catching the process's standard output and standard error on Windows.
//
// Setting the standard handles alone does not reach the Java VM: its own C
// runtime set up its descriptors and streams when it was loaded, before the
// capture (c_runtime_streams_win32.h). HotSpot writes its reasons through
// those, and takes the standard handles themselves for System.out and
// System.err while the VM starts. So the capture points the standard handles
// at a pipe, and also the descriptors and streams of every C runtime loaded.
#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "c_runtime_streams_win32.h"
#include "handles_win32.h"
#include "platform.h"

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

}  // namespace

struct OutputCapture::State {
    std::shared_ptr<CaughtText> text;
    OwnedHandle writeEnd;  // for the end mark
    HANDLE outputBefore = nullptr;
    HANDLE errorBefore = nullptr;
    std::vector<CRuntimeStreams> runtimes;
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
    state->runtimes = CRuntimeStreams::sendAllTo(write);
    SetStdHandle(STD_OUTPUT_HANDLE, standardCopy);
    SetStdHandle(STD_ERROR_HANDLE, standardCopy);
    state_ = std::move(state);
}

OutputCapture::~OutputCapture() { end(); }

std::string OutputCapture::end() {
    if (!state_) return {};
    const std::unique_ptr<State> state = std::move(state_);
    for (const CRuntimeStreams& runtime : state->runtimes) runtime.flush();
    SetStdHandle(STD_OUTPUT_HANDLE, state->outputBefore);
    SetStdHandle(STD_ERROR_HANDLE, state->errorBefore);
    DWORD written = 0;
    WriteFile(state->writeEnd.get(), endMark, static_cast<DWORD>(endMarkSize), &written, nullptr);
    return state->text->takeAtEnd();
}

}  // namespace platform
