// Which generation of Valve's Steam library a build of the simulator plays. The
// builds (steamsim, steamsim-1.56, steamsim-1.57, steamsim-1.61, steamsim-1.65,
// steamsim-newer) share every source but
// generation_api.cpp, compiled once for each with STEAMSIM_GENERATION set: it
// defines that generation's own exports and this description.
#pragma once

namespace steamsim {

struct Generation {
    // "1.57" (SDK 1.55 and older), "1.56", "1.60" (1.58-1.60), "1.61" (1.61-1.64),
    // "1.65" (1.65 on), "newer" (a SteamUtils newer than any SDK's so far)
    const char* name;
    bool ticketIdentity;  // GetAuthSessionTicket takes an identity (SDK 1.56 on)
};

const Generation& generation();

}  // namespace steamsim
