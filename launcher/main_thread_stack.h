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

#include "platform/processes.h"
#include "vm_option_sources.h"

namespace tessvik {

// The thread stack the options ask for, in bytes: the last -Xss<size> or
// -XX:ThreadStackSize=<KiB>; nothing when none does, or the last one is not a
// size (the VM then refuses it itself).
std::optional<std::uint64_t> requestedThreadStack(const std::vector<GivenVmOption>& options);

// When the options ask for a stack larger than the main thread has and the
// system lets it grow that far, starts the launcher once more with that room,
// with the arguments asGiven (it does not return then), unless this process
// is that new start already. Returns "" when the main thread has the room,
// else one line saying what it has and what the options ask.
std::string ensureMainThreadStack(const std::vector<GivenVmOption>& options,
                                  const std::vector<std::string>& asGiven,
                                  platform::LaunchStart start);

}  // namespace tessvik
