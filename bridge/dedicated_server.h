// Starting the game's dedicated-server product through the Steam client: Steam is
// started with the address "steam://rungameid/<id>" and launches the server itself.
// No call into Steam's library is made, so this works whether Steam's API is
// started or not.
#pragma once

#include <ostream>
#include <string>

#include "platform/steam_client.h"
#include "steam/steam_types.h"

namespace quellink {

// "steam://rungameid/" followed by the application id in decimal.
std::string runGameAddress(AppId_t appId);

// Reads the Steam executable's path under root into path. On failure writes one
// line to out, "Failed to fetch steam exe path from : <root>\SOFTWARE\Valve\Steam",
// flushes it and returns false with path unchanged.
bool ReadSteamExePath(platform::SteamRoot root, std::string& path, std::ostream& out);

// The machine's Steam first, the user's second; false, after a line for each
// root, when neither is found, or when the process could not be created.
bool startDedicatedServer(AppId_t appId, std::ostream& out);

}  // namespace quellink
