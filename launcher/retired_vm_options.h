// VM options that newer Java runtimes no longer accept. The default settings
// file holds -XX:+AggressiveOpts: Java 11 and older take it, Java 12 ignores
// it with a warning, and later runtimes refuse it, so that the VM is not
// created.
#pragma once

#include <optional>
#include <string>

// True when option is handed to a runtime of the given feature version (from
// its release file): every option but -XX:+AggressiveOpts, and that one up to
// Java 11 or when the version is not known.
bool runtimeTakesOption(const std::string& option, std::optional<int> runtimeVersion);
