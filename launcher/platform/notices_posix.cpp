// Notices on POSIX systems: a program has no GUI subsystem, and whoever
// started it holds its standard output (a terminal, a file, a desktop's
// session log), so there is nothing to make visible.
#include "notices.h"

namespace tessvik::platform {

OutputSituation observeOutput() { return {true, OutputTarget::console, OutputTarget::console}; }

void showErrorBox(const std::string&, const std::string&) {}

}  // namespace tessvik::platform
