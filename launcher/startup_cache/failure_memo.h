// The failure memo of a start-up cache entry (cache_entry.h): when writing
// the entry may be tried again after attempts that failed.
#pragma once

#include <string>

namespace tessvik {

// Whether a failed write may be tried again for the same inputs.
enum class Retry { later, never };

// Writing an entry that failed is tried again after a back-off counted in
// launches: at once after a first failure, then after 1, 3, 7 and at most 15
// launches. Only the VM's refusal of a fresh cache for the same inputs is
// final.
struct FailureMemo {
    int failures = 0;
    int launchesToWait = 0;
    bool final = false;
    std::string reason;
};
FailureMemo memoAfterFailure(const FailureMemo& memo, const std::string& reason, Retry retry);
std::string memoText(const FailureMemo& memo);
FailureMemo memoFromText(const std::string& text);

}  // namespace tessvik
