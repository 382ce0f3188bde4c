// The part of the Steam client API that differs between generations of Valve's
// redistributable library, bound at run time to the library the process loaded.
//
//   SDK            start-up                     interfaces that differ          RequestCurrentStats
//   <= 1.55        bool SteamAPI_Init()         SteamUser v021 (ticket without  exported
//                  (no interface check)         identity), UserStats v012,
//                                               Friends v017
//   1.56           as above                     SteamUser v022 (ticket with     exported
//                                               identity), as above
//   1.57           as above                     SteamUser v023, as above        exported
//   1.58-1.60      SteamInternal_SteamAPI_Init  SteamUser v023, UserStats v012, exported
//                  (checks a version list)      Friends v017
//   >= 1.61        SteamInternal_SteamAPI_Init  SteamUser v023, UserStats v013, gone: Steam has
//                                               Friends v018                    the stats before
//                                                                               start-up
//   (Utils v010, Matchmaking v009 and MatchmakingServers v002 in all.)
//
// The start-up function and each accessor are found independently, so every pairing
// above binds. Each name is looked up once, in the library Quellink was linked
// against, and kept: calls go through the kept addresses. A library exports one
// accessor per interface, the one its own flat functions work on, so an interface is
// only ever used with that library's own flat functions.
#pragma once

#include "steam_flat.h"

#include <cstddef>
#include <ostream>

namespace quellink {

// The addresses of one library's generation-specific names: a plain record, kept
// as it is until the process ends. The six accessors are never null: while the
// library is unsupported each yields null, as while Steam is not started.
struct SteamBinding {
    // What the exports call on every call, together at the start of the record.
    ISteamUser* (*user)();
    ISteamUserStats* (*userStats)();
    ISteamFriends* (*friends)();
    ISteamUtils* (*utils)();
    ISteamMatchmaking* (*matchmaking)();
    ISteamMatchmakingServers* (*matchmakingServers)();

    // Null from SDK 1.61 on.
    bool (*requestCurrentStats)(ISteamUserStats*) = nullptr;
    // GetAuthSessionTicket, called without an identity in the library's own form:
    // with a null identity from SteamUser022 on, without the parameter before.
    HAuthTicket (*getAuthSessionTicket)(ISteamUser*, void* ticket, int capacity, uint32* length);

    // The start-up function: one of the two, or neither (unsupported library).
    // SteamAPI_Init, SDK 1.57 and older.
    bool (*plainInit)() = nullptr;
    // SteamInternal_SteamAPI_Init, SDK 1.58 on.
    ESteamAPIInitResult (*checkedInit)(const char*, SteamErrMsg*) = nullptr;
    // checkedInit's list: the version of each accessor found, each ending in NUL,
    // and one more NUL that ends the list.
    char versions[256] = {};

    // Empty for a supported library; else what it lacks, e.g. "neither
    // SteamInternal_SteamAPI_Init nor SteamAPI_Init".
    char missing[256] = {};

    bool supported() const { return missing[0] == '\0'; }
};

// The binding of a library whose exports find gives (null for a name it lacks).
SteamBinding bindSteam(void* (*find)(const char* name));

// bindSteam on the Steam library of this process.
SteamBinding bindLoadedSteam();

// The binding of the Steam library of this process, made on first use and kept
// (nothing to destroy: Java threads may still call in while the process exits).
inline const SteamBinding& boundSteam() {
    static const SteamBinding binding = bindLoadedSteam();
    return binding;
}

// Starts Steam the library's way: with the interface check from SDK 1.58 on
// (err, which may be null, receives the library's reason), without one before
// (a failure is k_ESteamAPIInitResult_FailedGeneric). An unsupported library is
// not started: one line to out names what it lacks, "Unsupported Steam library:
// it exports none of SteamAPI_SteamUser_v023, SteamAPI_SteamUser_v022 nor
// SteamAPI_SteamUser_v021".
ESteamAPIInitResult startSteam(const SteamBinding& steam, SteamErrMsg* err, std::ostream& out);

}  // namespace quellink
