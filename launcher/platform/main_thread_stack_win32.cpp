// The main thread's stack on Windows: the reserve in the executable's header
// (Tessvik.exe is linked with a large one; reserving costs address space,
// not memory). It cannot change once the program runs.
#include <windows.h>

#include "platform.h"

namespace platform {

void growMainThreadStack(const std::function<std::uint64_t()>&) {}

std::uint64_t mainThreadStackSize() {
    const auto* image = reinterpret_cast<const unsigned char*>(GetModuleHandleA(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
    return nt->OptionalHeader.SizeOfStackReserve;
}

}  // namespace platform
