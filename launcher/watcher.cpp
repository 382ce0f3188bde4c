#include "watcher.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "messages.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace tessvik {

namespace {

constexpr const char* watchVariable = "TESSVIK_WATCH";
// How long the launcher waits for the watcher to give back the caught output.
constexpr unsigned replyMilliseconds = 5000;
constexpr const char* startedWord = "started";
constexpr const char* abortedLine = "Failed to create Java VM (the VM aborted)";

// What goes through the channel: a record is its kind, its length and ':',
// then its bytes.
enum Kind : char {
    messagesKind = 'm',   // this run's messages so far
    errorFileKind = 'e',  // the VM's -XX:ErrorFile value
    noticeKind = 'n',     // how a crash is told: CrashNotice's number
    gameKind = 'g',       // the game's name
    startKind = 's',      // the VM's creation returned: "started" or not
};

std::string record(Kind kind, const std::string& bytes) {
    return static_cast<char>(kind) + std::to_string(bytes.size()) + ':' + bytes;
}

struct Record {
    char kind;
    std::string bytes;
};

// Takes the channel's bytes as they come and gives the whole records.
class RecordReader {
public:
    void add(const std::string& bytes) { buffer_ += bytes; }

    bool next(Record& out) {
        const std::size_t colon = buffer_.find(':');
        if (buffer_.empty() || colon == std::string::npos) return false;
        const std::size_t size = std::strtoull(buffer_.c_str() + 1, nullptr, 10);
        if (buffer_.size() - colon - 1 < size) return false;
        out = {buffer_[0], buffer_.substr(colon + 1, size)};
        buffer_.erase(0, colon + 1 + size);
        return true;
    }

private:
    std::string buffer_;
};

// What the watcher learned from the launcher.
struct LaunchSeen {
    std::string messages;
    std::string errorFile;
    std::string gameName;
    CrashNotice notice = CrashNotice::nothing;
    enum { underway, started, failed } start = underway;
};

LaunchSeen follow(platform::LauncherLink& launch) {
    LaunchSeen seen;
    RecordReader reader;
    for (std::string bytes; !(bytes = launch.receive()).empty();) {
        reader.add(bytes);
        for (Record r; reader.next(r);) {
            switch (r.kind) {
                case messagesKind: seen.messages = r.bytes; break;
                case errorFileKind: seen.errorFile = r.bytes; break;
                case gameKind: seen.gameName = r.bytes; break;
                case noticeKind:
                    seen.notice = static_cast<CrashNotice>(std::atoi(r.bytes.c_str()));
                    // A GUI program gets no console of its own: this one
                    // keeps the launcher's open for the line.
                    if (seen.notice == CrashNotice::consoleLine) launch.shareConsole();
                    break;
                case startKind:
                    if (r.bytes == startedWord) {
                        seen.start = LaunchSeen::started;
                    } else {
                        seen.start = LaunchSeen::failed;
                        launch.reply(launch.caughtOutput());
                    }
                    break;
                default: break;
            }
        }
    }
    return seen;
}

// The report of this launch's crash: one written since the launcher started,
// where -XX:ErrorFile points or where HotSpot writes when it cannot write
// there.
std::string crashReport(const LaunchSeen& seen, const platform::LauncherLink& launch) {
    const std::string directory = platform::currentDirectory();
    std::vector<std::string> candidates = {crashReportPath("", launch.processId(), directory)};
    if (!seen.errorFile.empty()) {
        candidates.insert(candidates.begin(),
                          crashReportPath(seen.errorFile, launch.processId(), directory));
    }
    for (const std::string& path : candidates) {
        const platform::FileStatus status = platform::fileStatus(path);
        if (status.isRegularFile() && status.modified >= launch.startTime()) {
            return path;
        }
    }
    return {};
}

void tellCrash(const LaunchSeen& seen, const std::string& report) {
    const std::string text = crashNoticeText(noticeTitle(seen.gameName), report);
    if (seen.notice == CrashNotice::messageBox) {
        platform::showErrorBox(noticeTitle(seen.gameName), text);
    } else if (seen.notice == CrashNotice::consoleLine) {
        // The console stays while this process is attached to it.
        platform::openDebugConsole();
        writeErr(text);
        platform::pause();
    }
}

void watch(platform::LauncherLink& launch) {
    const LaunchSeen seen = follow(launch);
    // Started or refused: what is left is a crash, and nobody is to hear of it.
    if (seen.start != LaunchSeen::underway && seen.notice == CrashNotice::nothing) return;
    const int status = launch.waitForEnd();
    const std::string report = crashReport(seen, launch);
    if (!report.empty()) {
        tellCrash(seen, report);
    } else if (seen.start == LaunchSeen::underway && status != 0) {
        // The VM ended the process while it started: its reason was written
        // into the pipe before that.
        const std::vector<std::string> lines = caughtLines(launch.caughtOutput());
        std::string log = seen.messages;
        for (const std::string& line : lines) log += line + '\n';
        log += std::string(abortedLine) + '\n';
        platform::showErrorBox(noticeTitle(seen.gameName), composeFailureNotice(lines, log));
    }
}

}  // namespace

std::optional<int> runRequestedWatcher() {
    const char* value = std::getenv(watchVariable);
    if (value == nullptr) return std::nullopt;
    const std::unique_ptr<platform::LauncherLink> launch =
        platform::LauncherLink::fromVariable(value);
    if (!launch) return std::nullopt;
    watch(*launch);
    return 0;
}

std::unique_ptr<Watcher> Watcher::start(const WatcherPlan& plan) {
    if (!plan.outputUnseen && plan.crashNotice == CrashNotice::nothing) return nullptr;
    std::unique_ptr<platform::WatcherLink> link = platform::WatcherLink::start(
        watchVariable,
        plan.outputUnseen ? platform::OutputCapture::toWatcher : platform::OutputCapture::none);
    if (!link) return nullptr;
    link->send(record(messagesKind, messageLog()) + record(errorFileKind, plan.errorFile) +
               record(gameKind, plan.gameName) +
               record(noticeKind, std::to_string(static_cast<int>(plan.crashNotice))));
    return std::unique_ptr<Watcher>(new Watcher(std::move(link)));
}

std::string Watcher::vmStartEnded(VmStart start) {
    const bool started = start == VmStart::started;
    link_->endCapture();
    link_->send(record(startKind, started ? startedWord : "failed"));
    std::string caught = started ? std::string() : link_->receive(replyMilliseconds);
    // The channel closes: the watcher now waits for this process's end.
    link_.reset();
    return caught;
}

std::string crashReportPath(const std::string& errorFile, std::uint64_t processId,
                            const std::string& directory) {
    const std::string pattern = errorFile.empty() ? "hs_err_pid%p.log" : errorFile;
    std::string path;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() &&
            (pattern[i + 1] == 'p' || pattern[i + 1] == '%')) {
            path += pattern[++i] == 'p' ? std::to_string(processId) : "%";
        } else {
            path += pattern[i];
        }
    }
    return platform::isAbsolutePath(path) ? path : platform::joinPath(directory, path);
}

std::string crashNoticeText(const std::string& gameName, const std::string& report) {
    return gameName + " stopped because of an error. Its report is " +
           platform::lastComponentOf(report) + " in " + platform::directoryOf(report) + ".";
}

std::vector<std::string> caughtLines(const std::string& output) {
    std::vector<std::string> lines;
    std::string line;
    const auto endLine = [&] {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
        line.clear();
    };
    for (const char c : output) {
        if (c == '\n') {
            endLine();
        } else if (c != '\0') {
            line += c;
        }
    }
    endLine();
    return lines;
}

}  // namespace tessvik
