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
//   1.61-1.64      SteamInternal_SteamAPI_Init  SteamUser v023, UserStats v013, gone: Steam has
//                                               Friends v018                    the stats before
//                                                                               start-up
//   >= 1.65        as 1.61                      as 1.61, and Utils v011,        gone
//                                               MatchmakingServers v003
//   (Utils v010 and MatchmakingServers v002 up to 1.64; Matchmaking v009 in all.)
//
// The start-up function and each accessor are found independently, so every pairing
// above binds. Each name is looked up once, in the library Quellink was linked
// against, and kept: calls go through the kept addresses. A library exports one
// accessor per interface, the one its own flat functions work on, so an interface is
// only ever used with that library's own flat functions.
//
// Only accessor versions listed here are bound: a flat function may keep its name
// and change its arguments from one interface version to the next. A library that
// offers no known accessor of an interface (one newer than Quellink knows) still
// starts, without that interface: its accessor yields null, as while Steam is not
// started, and the start-up check is not asked for it. Only a library without a
// known start-up function or without a known SteamUser is not used at all.
#pragma once

#include "steam_flat.h"

#include <cstddef>
#include <ostream>
#include <string>

namespace quellink {

// The interfaces the bridge uses, in the order the start-up check lists them.
enum class SteamInterface { user, userStats, friends, utils, matchmaking, matchmakingServers };
constexpr int steamInterfaceCount = 6;

// The interface's bit in a set of interfaces (SteamBinding::unbound).
constexpr unsigned steamInterfaceBit(SteamInterface which) {
    return 1u << static_cast<unsigned>(which);
}

// "SteamUtils": the interface as its accessor is spelled.
const char* steamInterfaceName(SteamInterface which);

// "SteamAPI_SteamUtils_v011, SteamAPI_SteamUtils_v010": the accessors of the
// interface that Quellink knows, newest first.
std::string knownAccessors(SteamInterface which);

// The addresses of one library's generation-specific names: a plain record, kept
// as it is until the process ends. The six accessors are never null: while the
// library is unsupported, or for an interface it offers in no known version, each
// yields null, as while Steam is not started.
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

    // The interfaces a supported library offers in no known version (steamInterfaceBit).
    unsigned unbound = 0;

    bool supported() const { return missing[0] == '\0'; }
    bool binds(SteamInterface which) const { return (unbound & steamInterfaceBit(which)) == 0; }
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

// Starts Steam the library's way: with the interface check of the versions bound
// from SDK 1.58 on (err, which may be null, receives the library's reason), without
// one before (a failure is k_ESteamAPIInitResult_FailedGeneric). An unsupported
// library is not started: one line to out names what it lacks, "Unsupported Steam
// library: it exports none of SteamAPI_SteamUser_v023, SteamAPI_SteamUser_v022 nor
// SteamAPI_SteamUser_v021".
ESteamAPIInitResult startSteam(const SteamBinding& steam, SteamErrMsg* err, std::ostream& out);

}  // namespace quellink
