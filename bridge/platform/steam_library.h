// Finding a function by name in the Steam library the process has loaded for
// Quellink: the one Quellink was linked against, found by its file name
// (libsteam_api.so, steam_api64.dll), whatever other library may wrap its functions.
//
// Quellink imports at load time only the names that every generation of Valve's
// library exports; the others (the start-up function, the versioned interface
// accessors, RequestCurrentStats) are looked up here, in that same library, once.
// One implementation per system: steam_library_posix.cpp (dlopen, dlsym),
// steam_library_win32.cpp (GetModuleHandleA, GetProcAddress).
#pragma once

namespace quellink::platform {

// The address of the library's export name, or null when the library does not
// export it (or the library cannot be told).
void* findSteamFunction(const char* name);

}  // namespace quellink::platform
