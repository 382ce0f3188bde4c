// Facts of this machine: what the Java VM chooses by, and the system's code
// page, in which settings files edited by hand may be written.
#pragma once

#include <string>

namespace tessvik::platform {

// The facts of this machine that the Java VM chooses by (its default collector
// and heap by the processor count and physical memory, limits a container
// sets) and that the machine code it generates depends on (the processor
// model), as one line of text.
std::string machineFacts();

// Text written in the system's default ANSI code page (a settings file saved by
// hand before the launcher's code page was UTF-8), as the process's narrow
// strings hold it: converted to UTF-8 where the process's code page is UTF-8
// and the system's is not; unchanged elsewhere, and always on POSIX.
std::string fromSystemCodePage(const std::string& text);

}  // namespace tessvik::platform
