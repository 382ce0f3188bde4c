// Where the Steam client is installed, and starting it: the one piece of the bridge
// that talks to the operating system rather than to Steam's library.
//
// Windows reads the value "SteamExe" below "SOFTWARE\Valve\Steam" in the registry,
// under the machine's or the user's root, and starts the process the project's one way
// (program_start.h: CreateProcessW).
// Other systems have no registry; their stand-in keeps the two roots' meaning:
//   local machine: the system's Steam, the first executable "steam" on PATH;
//   current user:  the user's Steam, $HOME/.steam/root/steam.sh when executable
//                  (where Valve's library itself looks for Steam).
// One implementation per system: steam_client_win32.cpp, steam_client_posix.cpp.
#pragma once

#include <string>

namespace quellink::platform {

enum class SteamRoot {
    localMachine,  // HKEY_LOCAL_MACHINE
    currentUser,   // HKEY_CURRENT_USER
};

// The root's name as the failure message spells it ("HKEY_LOCAL_MACHINE",
// "HKEY_CURRENT_USER"), on every system.
inline const char* steamRootName(SteamRoot root) {
    return root == SteamRoot::localMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

// Looks up the Steam executable recorded under root. On success replaces path and
// returns true; on failure returns false, leaves path as it was and prints nothing.
bool lookUpSteamExe(SteamRoot root, std::string& path);

// Starts the program at exe with the single argument address, detached from the
// caller (no console, no standard streams, not waited for), inheriting the
// caller's environment and current directory. True when the process was created.
bool startSteamProcess(const std::string& exe, const std::string& address);

}  // namespace quellink::platform
