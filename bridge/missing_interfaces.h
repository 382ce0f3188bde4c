// The line the first start prints for a Steam library that offers some interface in no
// version Quellink knows (one newer than Quellink): Steam starts without it, and the
// natives that need it answer as while Steam is not started.
#pragma once

#include "steam/steam_binding.h"

#include <ostream>

namespace quellink {

// Nothing for a library that offers every interface, or is not supported at all
// (startSteam names what such a library lacks). Else one line, e.g.
// "Steam library partly supported: it exports no known accessor of SteamUtils
// (SteamAPI_SteamUtils_v011, SteamAPI_SteamUtils_v010); these answer as without
// Steam: SetOverlayNotificationPosition, OverlayNeedsPresent, ...".
void reportMissingInterfaces(const SteamBinding& steam, std::ostream& out);

}  // namespace quellink
