// The link between a launch and its watcher: this program started a second
// time beside a launch whose end nobody would otherwise learn of (Windows: a
// GUI program started from the desktop, or one whose debug console closes
// with it), so that it can tell how the launch ended: the Java VM's reason
// when the VM ended the process while it started, the crash report when the VM
// crashed. The watcher does that work itself, so that nothing of it runs in a
// process that is ending, and the VM keeps its own error reporting, time-outs
// and exit status.
//
// Windows only: a POSIX launcher's output and end are seen by whoever started
// it, there is never a watcher, and both links are always empty.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tessvik::platform {

// Whether what the process writes goes to the watcher while the link lasts.
enum class OutputCapture { none, toWatcher };

// The launcher's link to its watcher.
class WatcherLink {
public:
    // Starts this program again as the watcher of this process, at once (its
    // own start runs beside the VM's), with the variable named set to the
    // handles it inherits: a handle of this process, the read end of a channel
    // from here and the write end of one back. With the output captured, the standard
    // output and standard error handles, and descriptors 1 and 2 and the
    // stdout and stderr streams of the C runtimes loaded in the process (this
    // program's and the Java runtime's own), write from then on into one pipe
    // that the watcher reads, so that what the VM writes just before it ends
    // the process is never lost. The watcher has no console of its own (it
    // may share this one's: LauncherLink::shareConsole). Null when it could
    // not be started.
    static std::unique_ptr<WatcherLink> start(const char* variable, OutputCapture capture);
    ~WatcherLink();  // closes the channel; the watcher goes on watching
    WatcherLink(const WatcherLink&) = delete;
    WatcherLink& operator=(const WatcherLink&) = delete;

    // Writes bytes into the channel. False when the watcher is gone.
    bool send(const std::string& bytes);

    // Puts the standard handles back and writes an end mark through the
    // pipe after everything written before. Writers that took the pipe
    // meanwhile (a Java runtime's System.out, the C runtimes' descriptors)
    // keep it: the watcher reads and drops what they write later.
    void endCapture();

    // What the watcher sends back, up to its end of the channel or at most
    // the time given.
    std::string receive(unsigned milliseconds);

    struct State;

private:
    explicit WatcherLink(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

// The watcher's link to the launch it watches: what the launcher handed it.
class LauncherLink {
public:
    // From the value of the launcher's variable; null when it names no
    // launcher's handles that this process holds.
    static std::unique_ptr<LauncherLink> fromVariable(const std::string& value);
    ~LauncherLink();
    LauncherLink(const LauncherLink&) = delete;
    LauncherLink& operator=(const LauncherLink&) = delete;

    // The next bytes of the channel; "" at its end (the launcher closed it
    // or ended).
    std::string receive();
    // Sends bytes back and closes the way back.
    void reply(const std::string& bytes);

    // The launcher's caught output: what came through the pipe before the
    // end mark, or before the pipe closed with the launcher's end (the last
    // 64 KiB at most); "" without a capture. Waits for either at most 5 s.
    // From then on what comes through the pipe is dropped.
    std::string caughtOutput();

    // Attaches this process to the launcher's console, which then stays
    // open while this process is attached, after the launcher's end too.
    void shareConsole();

    // Waits for the launcher's end; its exit status.
    int waitForEnd();
    std::uint64_t processId() const;
    // When the launcher's process started, in FileStatus::modified's units.
    std::int64_t startTime() const;

    struct State;

private:
    explicit LauncherLink(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace tessvik::platform
