// The client's main method runs on the process's main thread, whose stack the
// system sized before the launcher ran: 8 MiB by the usual Linux limit, the
// executable's reserve on Windows. `java` runs main on a thread of the size
// that -Xss or -XX:ThreadStackSize asks, so a game that asks for a deep stack
// gets one here too: the main thread is given that room before the VM starts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "vm_option_sources.h"

// The thread stack the options ask for, in bytes: the last -Xss<size> or
// -XX:ThreadStackSize=<KiB>; nothing when none does (or one is malformed:
// the VM then refuses it itself).
std::optional<std::uint64_t> requestedThreadStack(const std::vector<GivenVmOption>& options);

// Early in the launch, before any output: when the options of the settings
// file and of the environment ask for a stack larger than the main thread
// has, and the system lets it grow that far, the launcher starts itself once
// more with that room (it does not return then). Otherwise nothing happens;
// mainThreadStackShortfall tells the launch later.
void ensureMainThreadStack(const std::string& settingsFile);

// "" when the main thread has the room the options ask for, else one line
// saying what it has and what they ask.
std::string mainThreadStackShortfall(const std::vector<GivenVmOption>& options);
