// The Steam library on systems with dlopen: the object that holds the definition
// of one of Quellink's load-time imports is the library to search.
#include "platform/steam_library.h"

#include <dlfcn.h>

#include "steam/steam_flat.h"

namespace quellink::platform {

namespace {

// The library's handle, by the file that SteamAPI_RunCallbacks came from. The JVM
// loads Quellink with local symbols, so the library is not on the global search
// list: it is asked for by its own path, without loading it again (RTLD_NOLOAD).
// The handle is kept for the life of the process, as the library is.
void* steamLibrary() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&SteamAPI_RunCallbacks), &info) == 0 ||
        info.dli_fname == nullptr) {
        return nullptr;
    }
    return dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
}

}  // namespace

void* findSteamFunction(const char* name) {
    static void* const library = steamLibrary();
    return library != nullptr ? dlsym(library, name) : nullptr;
}

}  // namespace quellink::platform
