#include "platform.h"

namespace platform {

// A POSIX program has no GUI subsystem: whoever started it holds its standard
// output (a terminal, a file, a desktop's session log), so there is nothing
// to make visible.
OutputSituation observeOutput() { return {true, OutputTarget::console, OutputTarget::console}; }

void showErrorBox(const std::string&, const std::string&) {}

}  // namespace platform
