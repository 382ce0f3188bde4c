// The Steam library on Windows: the module that holds one of Quellink's load-time
// imports (steam_api64.dll wherever the loader found it).
#include "platform/steam_library.h"

#include <windows.h>

#include "steam/steam_flat.h"

namespace quellink::platform {

namespace {

// The module by the address of an import, its reference count left alone: the
// library stays loaded for as long as Quellink, which imports it.
HMODULE steamLibrary() {
    HMODULE module = nullptr;
    const DWORD flags =
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    if (!GetModuleHandleExA(flags, reinterpret_cast<LPCSTR>(&SteamAPI_RunCallbacks), &module)) {
        return nullptr;
    }
    return module;
}

}  // namespace

void* findSteamFunction(const char* name) {
    static const HMODULE library = steamLibrary();
    if (library == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<void*>(GetProcAddress(library, name));
}

}  // namespace quellink::platform
