#include "retired_vm_options.h"

namespace {

constexpr const char* aggressiveOpts = "-XX:+AggressiveOpts";
constexpr int lastVersionWithAggressiveOpts = 11;

}  // namespace

bool runtimeTakesOption(const std::string& option, std::optional<int> runtimeVersion) {
    if (option != aggressiveOpts || !runtimeVersion) return true;
    return *runtimeVersion <= lastVersionWithAggressiveOpts;
}
