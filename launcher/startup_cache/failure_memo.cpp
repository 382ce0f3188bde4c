#include "failure_memo.h"

#include <algorithm>
#include <sstream>

namespace tessvik {

namespace {

constexpr int longestWait = 15;

}  // namespace

FailureMemo memoAfterFailure(const FailureMemo& memo, const std::string& reason, Retry retry) {
    FailureMemo next;
    next.failures = memo.failures + 1;
    next.launchesToWait = std::min((1 << std::min(next.failures - 1, 4)) - 1, longestWait);
    next.final = retry == Retry::never;
    next.reason = reason;
    return next;
}

std::string memoText(const FailureMemo& memo) {
    return std::to_string(memo.failures) + ' ' + std::to_string(memo.launchesToWait) + ' ' +
           (memo.final ? "final" : "again") + ' ' + memo.reason + '\n';
}

FailureMemo memoFromText(const std::string& text) {
    FailureMemo memo;
    std::istringstream in(text);
    std::string kind;
    // A memo that cannot be read counts as one failure, tried again at once.
    if (!(in >> memo.failures >> memo.launchesToWait >> kind) || memo.failures < 1) {
        return {1, 0, false, "unknown"};
    }
    memo.final = kind == "final";
    std::getline(in >> std::ws, memo.reason);
    return memo;
}

}  // namespace tessvik
