// The launcher's side of its watcher on Windows: the watcher started with the
// handles it inherits, the channel to it, and the capture of the process's
// output into the pipe it reads.
//
// Setting the standard handles alone does not reach the Java VM: its own C
// runtime set up its descriptors and streams when it was loaded, before the
// capture (c_runtime_streams_win32.h). HotSpot writes its reasons through
// those, and takes the standard handles themselves for System.out and
// System.err while the VM starts. So the capture points the standard handles
// at the pipe, and also the descriptors and streams of every C runtime loaded.
#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "c_runtime_streams_win32.h"
#include "child_process_win32.h"
#include "handles_win32.h"
#include "launch_watcher_win32.h"
#include "platform.h"

namespace platform {

namespace {

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

}  // namespace

struct LaunchWatcher::State {
    OwnedHandle channel;     // write end, to the watcher
    OwnedHandle back;        // read end, from the watcher
    OwnedHandle captureEnd;  // write end of the caught output's pipe, for the end mark
    HANDLE outputBefore = nullptr;
    HANDLE errorBefore = nullptr;
    std::vector<CRuntimeStreams> runtimes;
};

LaunchWatcher::LaunchWatcher(std::unique_ptr<State> state) : state_(std::move(state)) {}

LaunchWatcher::~LaunchWatcher() = default;

std::unique_ptr<LaunchWatcher> LaunchWatcher::start(const char* variable, bool catchOutput) {
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
    if (!startChild(arguments, environment, flags | CREATE_BREAKAWAY_FROM_JOB, inherited) &&
        !startChild(arguments, environment, flags, inherited)) {
        return nullptr;
    }

    auto state = std::make_unique<State>();
    state->channel = std::move(channel.write);
    state->back = std::move(back.read);
    if (catchOutput) {
        // The standard handles get a copy of the write end that is never
        // closed: whoever takes it while the capture runs keeps using it.
        const HANDLE standardCopy = duplicate(capture.write.get());
        if (standardCopy != nullptr) {
            state->outputBefore = GetStdHandle(STD_OUTPUT_HANDLE);
            state->errorBefore = GetStdHandle(STD_ERROR_HANDLE);
            state->runtimes = CRuntimeStreams::sendAllTo(capture.write.get());
            SetStdHandle(STD_OUTPUT_HANDLE, standardCopy);
            SetStdHandle(STD_ERROR_HANDLE, standardCopy);
            state->captureEnd = std::move(capture.write);
        }
    }
    return std::unique_ptr<LaunchWatcher>(new LaunchWatcher(std::move(state)));
}

bool LaunchWatcher::send(const std::string& bytes) {
    return writeWhole(state_->channel.get(), bytes);
}

void LaunchWatcher::endCapture() {
    if (!state_->captureEnd) return;
    for (const CRuntimeStreams& runtime : state_->runtimes) runtime.flush();
    SetStdHandle(STD_OUTPUT_HANDLE, state_->outputBefore);
    SetStdHandle(STD_ERROR_HANDLE, state_->errorBefore);
    writeWhole(state_->captureEnd.get(), std::string(endMark, endMarkSize));
    state_->captureEnd.reset();
}

std::string LaunchWatcher::receive(unsigned milliseconds) {
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

}  // namespace platform
