// The Steam library on Windows: the module Quellink imports, found by its name
// (steam_api64.dll wherever the loader found it).
#include "platform/steam_library.h"

#include <windows.h>

namespace quellink::platform {

namespace {

// By name, not through the address of one of Quellink's imports, which a hook may have
// redirected into a module of its own. The module's reference count is left alone: the
// library stays loaded for as long as Quellink, which imports it.
HMODULE steamLibrary() { return GetModuleHandleA("steam_api64.dll"); }

}  // namespace

void* findSteamFunction(const char* name) {
    static const HMODULE library = steamLibrary();
    if (library == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<void*>(GetProcAddress(library, name));
}

}  // namespace quellink::platform
