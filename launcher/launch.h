// Tessvik's launch, from the program's entry to the client's end.
#pragma once

#include <string>
#include <vector>

namespace tessvik {

// Runs the program: a launch of the game, or the assembly or watcher work an
// earlier launch started it for. asGiven: the arguments exactly as the
// program received them (argv on POSIX; Windows reads its own command line).
// Returns the exit status.
int launch(const std::vector<std::string>& asGiven);

}  // namespace tessvik
