// Tells on standard error what the launcher would observe about its standard
// output, and the notice it would give for a failure with and without a
// pause, as three words: "<console|no-console> <target> <notice> <notice>".
#include <cstdio>

#include "failure_notice.h"

using namespace tessvik;

namespace {

const char* targetName(platform::OutputTarget target) {
    switch (target) {
        case platform::OutputTarget::none: return "none";
        case platform::OutputTarget::console: return "console";
        case platform::OutputTarget::file: return "file";
        case platform::OutputTarget::pipe: return "pipe";
        case platform::OutputTarget::device: return "device";
    }
    return "?";
}

const char* noticeName(FailureNotice notice) {
    switch (notice) {
        case FailureNotice::messageBox: return "box";
        case FailureNotice::pause: return "pause";
        case FailureNotice::nothing: return "nothing";
    }
    return "?";
}

}  // namespace

int main() {
    const platform::OutputSituation situation = platform::observeOutput();
    std::fprintf(stderr, "%s %s %s %s\n", situation.hasConsole ? "console" : "no-console",
                 targetName(situation.standardOutput),
                 noticeName(chooseFailureNotice(situation, true)),
                 noticeName(chooseFailureNotice(situation, false)));
    return 0;
}
