// Asks hybrid-graphics laptops for the discrete GPU. The Java client renders
// inside this process, and NVIDIA's (Optimus) and AMD's (PowerXpress)
// drivers run a process on the discrete GPU when its executable exports
// these values as 1. Linked into the executable itself: the drivers look at
// the program's exports, not at a library's.
#include <windows.h>

extern "C" {
__declspec(dllexport) DWORD NvOptimusEnablement = 1;
__declspec(dllexport) int AmdPowerXpressRequestHighPerformance = 1;
}
