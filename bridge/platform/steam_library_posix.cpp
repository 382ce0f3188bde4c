// The Steam library on systems with dlopen: the one Quellink was linked against, found
// by its file name among the libraries already loaded.
#include "platform/steam_library.h"

#include <dlfcn.h>

namespace quellink::platform {

namespace {

// The name Quellink's dependency on Valve's library (and on the simulated Steam
// client, which takes its place) carries.
constexpr const char* steamLibraryName = "libsteam_api.so";

// The library by its name, not through the address of one of Quellink's imports: a
// preloaded library that wraps a Steam function (a hook, a profiler, Steam's own
// overlay) provides that import, yet exports none of what is looked up here. The JVM
// loads Quellink with local symbols, so the library is not on the global search list:
// it is asked for by name, without loading it again (RTLD_NOLOAD). The handle is kept
// for the life of the process, as the library is.
void* steamLibrary() { return dlopen(steamLibraryName, RTLD_NOW | RTLD_NOLOAD); }

}  // namespace

void* findSteamFunction(const char* name) {
    static void* const library = steamLibrary();
    return library != nullptr ? dlsym(library, name) : nullptr;
}

}  // namespace quellink::platform
