#include "failure_notice.h"

#include "messages.h"
#include "platform/platform.h"

FailureNotice chooseFailureNotice(const platform::OutputSituation& situation, bool pauseWanted) {
    const bool redirected = situation.standardOutput == platform::OutputTarget::file ||
                            situation.standardOutput == platform::OutputTarget::pipe;
    if (situation.hasConsole || redirected) {
        return pauseWanted ? FailureNotice::pause : FailureNotice::nothing;
    }
    return FailureNotice::messageBox;
}

void noticeFailedLaunch(bool pauseWanted) {
    switch (chooseFailureNotice(platform::observeOutput(), pauseWanted)) {
        case FailureNotice::messageBox: {
            std::string text = messageLog();
            if (!text.empty() && text.back() == '\n') text.pop_back();
            platform::showErrorBox("Tessvik", text);
            break;
        }
        case FailureNotice::pause:
            platform::pause();
            break;
        case FailureNotice::nothing:
            break;
    }
}
