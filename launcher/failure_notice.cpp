#include "failure_notice.h"

#include "messages.h"
#include "platform/console.h"

namespace tessvik {

namespace {

// The VM's lines that open the box. HotSpot gives its reason in one or two
// lines, after any warnings; more come only from options that make it log
// while it starts (-verbose:class), where the reason is last.
constexpr std::size_t reasonLineLimit = 8;

bool redirected(platform::OutputTarget target) {
    return target == platform::OutputTarget::file || target == platform::OutputTarget::pipe;
}

}  // namespace

FailureNotice chooseFailureNotice(const platform::OutputSituation& situation, bool pauseWanted) {
    if (situation.hasConsole || redirected(situation.standardOutput)) {
        return pauseWanted ? FailureNotice::pause : FailureNotice::nothing;
    }
    return FailureNotice::messageBox;
}

bool outputUnseen(const platform::OutputSituation& situation) {
    return chooseFailureNotice(situation, false) == FailureNotice::messageBox &&
           !redirected(situation.standardError);
}

std::string composeFailureNotice(const std::vector<std::string>& vmLines, const std::string& log) {
    std::string messages = log;
    while (!messages.empty() && messages.back() == '\n') messages.pop_back();
    std::string reason;
    if (vmLines.empty()) {
        reason = messages.substr(messages.rfind('\n') + 1);
    } else {
        const std::size_t first =
            vmLines.size() > reasonLineLimit ? vmLines.size() - reasonLineLimit : 0;
        for (std::size_t i = first; i < vmLines.size(); ++i) {
            if (i > first) reason += '\n';
            reason += vmLines[i];
        }
    }
    return reason.empty() ? messages : reason + "\n\n" + messages;
}

void tellFailedLaunch(LaunchFailure failure, const NoticeSettings& settings) {
    const bool consoleKept = settings.consoleKept;
    if (failure == LaunchFailure::none ||
        (failure == LaunchFailure::clientFailed && !consoleKept)) {
        return;
    }
    const bool pauseWanted = failure != LaunchFailure::vmRefused || consoleKept;
    switch (chooseFailureNotice(platform::observeOutput(), pauseWanted)) {
        case FailureNotice::messageBox:
            platform::showErrorBox(noticeTitle(settings.gameName),
                                   composeFailureNotice(vmLines(), messageLog()));
            break;
        case FailureNotice::pause: platform::pause(); break;
        case FailureNotice::nothing: break;
    }
}

std::string noticeTitle(const std::string& gameName) {
    return gameName.empty() ? "Tessvik" : gameName;
}

CrashNotice chooseCrashNotice(bool outputUnseen, const NoticeSettings& settings) {
    if (!settings.crashNoticeWanted) return CrashNotice::nothing;
    if (outputUnseen) return CrashNotice::messageBox;
    return settings.consoleKept ? CrashNotice::consoleLine : CrashNotice::nothing;
}

}  // namespace tessvik
