// Starting a child process on Windows, for the helpers of the platform layer.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "handles_win32.h"
#include "platform.h"

namespace platform {

// Starts the program at arguments[0] with the arguments (the program first),
// this process's environment with the additions, the creation flags given,
// and of this process's handles only those of inherited, which must be
// inheritable. With a job, the program is in it before it runs its first
// instruction, so nothing it starts escapes the job. Its process handle, or none.
OwnedHandle startChild(const std::vector<std::string>& arguments,
                       const EnvironmentAdditions& environment, DWORD flags,
                       std::vector<HANDLE> inherited = {}, HANDLE job = nullptr);

}  // namespace platform
