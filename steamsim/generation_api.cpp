// The exports that differ between generations of Valve's Steam library, for the
// generation this build plays (STEAMSIM_GENERATION: 156, 157, 160, 161, 165 or 166):
//
//   1.57   bool SteamAPI_Init() (no interface check), SteamUser v021,
//          UserStats v012, Friends v017, RequestCurrentStats (SDK 1.55 and older)
//   1.56   as 1.57 but SteamUser v022, whose tickets take an identity (SDK 1.56)
//   1.60   SteamInternal_SteamAPI_Init (checks the versions asked for),
//          SteamAPI_InitFlat, SteamUser v023, UserStats v012, Friends v017,
//          RequestCurrentStats
//   1.61   as 1.60 but UserStats v013, Friends v018, and no RequestCurrentStats:
//          Steam has the stats before the game starts, and the simulator posts no
//          UserStatsReceived_t of its own (SDK 1.61-1.64)
//   1.65   as 1.61 but Utils v011 and MatchmakingServers v003 (SDK 1.65)
//   newer  (166) as 1.65 but Utils v012: a library newer than Quellink knows
//
// Utils v010 and MatchmakingServers v002 up to 1.61; Matchmaking v009 in all.
#include "generation.h"
#include "simulator.h"

#include <cstring>
#include <string>

#if !defined(STEAMSIM_GENERATION) ||                                                           \
    (STEAMSIM_GENERATION != 156 && STEAMSIM_GENERATION != 157 && STEAMSIM_GENERATION != 160 && \
     STEAMSIM_GENERATION != 161 && STEAMSIM_GENERATION != 165 && STEAMSIM_GENERATION != 166)
#error "STEAMSIM_GENERATION must be 156, 157, 160, 161, 165 or 166"
#endif

// Started with bool SteamAPI_Init(), without an interface check.
#define STEAMSIM_PLAIN_INIT (STEAMSIM_GENERATION == 156 || STEAMSIM_GENERATION == 157)
// UserStats v013 and Friends v018, and no RequestCurrentStats (SDK 1.61 on).
#define STEAMSIM_STATS_SYNCED (STEAMSIM_GENERATION >= 161)

using steamsim::Interface;
using steamsim::Locked;
using steamsim::LogLine;

namespace steamsim {

const Generation& generation() {
#if STEAMSIM_GENERATION == 156
    static const Generation playing{"1.56", true};
#elif STEAMSIM_GENERATION == 157
    static const Generation playing{"1.57", false};
#elif STEAMSIM_GENERATION == 160
    static const Generation playing{"1.60", true};
#elif STEAMSIM_GENERATION == 161
    static const Generation playing{"1.61", true};
#elif STEAMSIM_GENERATION == 165
    static const Generation playing{"1.65", true};
#else
    static const Generation playing{"newer", true};
#endif
    return playing;
}

}  // namespace steamsim

// --- Start-up -------------------------------------------------------------------

#if STEAMSIM_PLAIN_INIT

STEAM_FLAT_API bool SteamAPI_Init() {
    Locked sim;
    sim->enter(LogLine("SteamAPI_Init"));
    return sim->init(nullptr, nullptr) == k_ESteamAPIInitResult_OK;
}

#else

namespace {

// The version list as one text: "A,B,C".
std::string versionList(const char* versions) {
    std::string text;
    std::size_t total = 0;
    for (const char* v = versions; *v != '\0' && total < 4096; v += std::strlen(v) + 1) {
        if (!text.empty()) text += ',';
        text += v;
        total += std::strlen(v) + 1;
    }
    return text;
}

}  // namespace

STEAM_FLAT_API ESteamAPIInitResult SteamInternal_SteamAPI_Init(const char* versions,
                                                               SteamErrMsg* err) {
    Locked sim;
    LogLine line("SteamInternal_SteamAPI_Init");
    if (versions == nullptr)
        line.raw("versions", "null");
    else
        line.str("versions", versionList(versions).c_str());
    line.ptr("err", err);
    sim->enter(line);
    return sim->init(versions, err);
}

STEAM_FLAT_API ESteamAPIInitResult SteamAPI_InitFlat(SteamErrMsg* err) {
    Locked sim;
    LogLine line("SteamAPI_InitFlat");
    line.ptr("err", err);
    sim->enter(line);
    return sim->init(nullptr, err);
}

#endif

// --- Accessors ------------------------------------------------------------------

#define STEAMSIM_ACCESSOR(Type, Function, Which)                     \
    STEAM_FLAT_API Type* Function() {                                \
        Locked sim;                                                  \
        sim->enter(LogLine(#Function));                              \
        return static_cast<Type*>(sim->interface(Interface::Which)); \
    }

#if STEAMSIM_GENERATION == 156
STEAMSIM_ACCESSOR(ISteamUser, SteamAPI_SteamUser_v022, user)
#elif STEAMSIM_GENERATION == 157
STEAMSIM_ACCESSOR(ISteamUser, SteamAPI_SteamUser_v021, user)
#else
STEAMSIM_ACCESSOR(ISteamUser, SteamAPI_SteamUser_v023, user)
#endif
#if STEAMSIM_STATS_SYNCED
STEAMSIM_ACCESSOR(ISteamUserStats, SteamAPI_SteamUserStats_v013, userStats)
STEAMSIM_ACCESSOR(ISteamFriends, SteamAPI_SteamFriends_v018, friends)
#else
STEAMSIM_ACCESSOR(ISteamUserStats, SteamAPI_SteamUserStats_v012, userStats)
STEAMSIM_ACCESSOR(ISteamFriends, SteamAPI_SteamFriends_v017, friends)
#endif
#if STEAMSIM_GENERATION == 166
STEAMSIM_ACCESSOR(ISteamUtils, SteamAPI_SteamUtils_v012, utils)
#elif STEAMSIM_GENERATION == 165
STEAMSIM_ACCESSOR(ISteamUtils, SteamAPI_SteamUtils_v011, utils)
#else
STEAMSIM_ACCESSOR(ISteamUtils, SteamAPI_SteamUtils_v010, utils)
#endif
STEAMSIM_ACCESSOR(ISteamMatchmaking, SteamAPI_SteamMatchmaking_v009, matchmaking)
#if STEAMSIM_GENERATION >= 165
STEAMSIM_ACCESSOR(ISteamMatchmakingServers, SteamAPI_SteamMatchmakingServers_v003,
                  matchmakingServers)
#else
STEAMSIM_ACCESSOR(ISteamMatchmakingServers, SteamAPI_SteamMatchmakingServers_v002,
                  matchmakingServers)
#endif

#undef STEAMSIM_ACCESSOR

// --- ISteamUserStats --------------------------------------------------------------

#if !STEAMSIM_STATS_SYNCED

STEAM_FLAT_API bool SteamAPI_ISteamUserStats_RequestCurrentStats(ISteamUserStats* self) {
    return steamsim::answer(self, LogLine(__func__), false,
                            [](steamsim::Simulator& sim) { return sim.requestStats(); });
}

#endif
