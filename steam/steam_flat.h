// The flat C functions that every generation of the Steam client library exports
// (steam_api64.dll, libsteam_api.so, SDK 1.55 to today's). Interface methods take
// the interface pointer first.
//
// Quellink imports these at load time. The names that differ between generations
// (the start-up function, the versioned interface accessors, RequestCurrentStats)
// are not declared here: steam_binding.h finds them at run time, in the library
// that provides these.
#pragma once

#include "steam_types.h"

// On Windows the functions come from steam_api64.dll. A library that
// implements them (the simulated Steam client) defines STEAM_API_EXPORTS.
#if defined(_WIN32)
#if defined(STEAM_API_EXPORTS)
#define STEAM_FLAT_API extern "C" __declspec(dllexport)
#else
#define STEAM_FLAT_API extern "C" __declspec(dllimport)
#endif
#else
#define STEAM_FLAT_API extern "C" __attribute__((visibility("default")))
#endif

class ISteamUser;
class ISteamUserStats;
class ISteamFriends;
class ISteamUtils;
class ISteamMatchmaking;
class ISteamMatchmakingServers;

// --- Shutdown, the callback pump ---------------------------------------------
STEAM_FLAT_API void SteamAPI_Shutdown();
STEAM_FLAT_API void SteamAPI_RunCallbacks();
STEAM_FLAT_API bool SteamAPI_RestartAppIfNecessary(uint32 ownAppId);

STEAM_FLAT_API void SteamAPI_RegisterCallback(CCallbackBase* callback, int callbackId);
STEAM_FLAT_API void SteamAPI_UnregisterCallback(CCallbackBase* callback);

// --- ISteamUser -------------------------------------------------------------
STEAM_FLAT_API bool SteamAPI_ISteamUser_BLoggedOn(ISteamUser* self);
STEAM_FLAT_API uint64 SteamAPI_ISteamUser_GetSteamID(ISteamUser* self);
// The form of SDK 1.56 on (SteamUser022 and SteamUser023). Up to SDK 1.55 the
// function has no identity parameter (steam_binding.h calls it in its own form there).
STEAM_FLAT_API HAuthTicket
SteamAPI_ISteamUser_GetAuthSessionTicket(ISteamUser* self, void* ticket, int capacity,
                                         uint32* length, const SteamNetworkingIdentity* identity);
STEAM_FLAT_API void SteamAPI_ISteamUser_CancelAuthTicket(ISteamUser* self, HAuthTicket ticket);

// --- ISteamUserStats (RequestCurrentStats: steam_binding.h) -------------------
STEAM_FLAT_API bool SteamAPI_ISteamUserStats_GetStatInt32(ISteamUserStats* self, const char* name,
                                                          int32* value);
STEAM_FLAT_API bool SteamAPI_ISteamUserStats_GetStatFloat(ISteamUserStats* self, const char* name,
                                                          float* value);
STEAM_FLAT_API bool SteamAPI_ISteamUserStats_SetStatInt32(ISteamUserStats* self, const char* name,
                                                          int32 value);
STEAM_FLAT_API bool SteamAPI_ISteamUserStats_SetStatFloat(ISteamUserStats* self, const char* name,
                                                          float value);
STEAM_FLAT_API bool SteamAPI_ISteamUserStats_GetAchievement(ISteamUserStats* self, const char* name,
                                                            bool* achieved);
STEAM_FLAT_API bool SteamAPI_ISteamUserStats_SetAchievement(ISteamUserStats* self,
                                                            const char* name);
STEAM_FLAT_API bool SteamAPI_ISteamUserStats_ClearAchievement(ISteamUserStats* self,
                                                              const char* name);
STEAM_FLAT_API bool SteamAPI_ISteamUserStats_StoreStats(ISteamUserStats* self);

// --- ISteamUtils ------------------------------------------------------------
STEAM_FLAT_API void SteamAPI_ISteamUtils_SetOverlayNotificationPosition(
    ISteamUtils* self, ENotificationPosition position);
STEAM_FLAT_API bool SteamAPI_ISteamUtils_BOverlayNeedsPresent(ISteamUtils* self);
STEAM_FLAT_API uint32 SteamAPI_ISteamUtils_GetAppID(ISteamUtils* self);

// --- ISteamFriends ----------------------------------------------------------
STEAM_FLAT_API bool SteamAPI_ISteamFriends_SetRichPresence(ISteamFriends* self, const char* key,
                                                           const char* value);

// --- ISteamMatchmaking: the favourites and history list ---------------------
STEAM_FLAT_API int SteamAPI_ISteamMatchmaking_GetFavoriteGameCount(ISteamMatchmaking* self);
STEAM_FLAT_API int SteamAPI_ISteamMatchmaking_AddFavoriteGame(ISteamMatchmaking* self, AppId_t app,
                                                              uint32 ip, uint16 connPort,
                                                              uint16 queryPort, uint32 flags,
                                                              uint32 lastPlayed);
STEAM_FLAT_API bool SteamAPI_ISteamMatchmaking_RemoveFavoriteGame(ISteamMatchmaking* self,
                                                                  AppId_t app, uint32 ip,
                                                                  uint16 connPort, uint16 queryPort,
                                                                  uint32 flags);

// --- ISteamMatchmakingServers: server-list requests -------------------------
// filters points to a pointer to a contiguous array of count records.
STEAM_FLAT_API HServerListRequest SteamAPI_ISteamMatchmakingServers_RequestInternetServerList(
    ISteamMatchmakingServers* self, AppId_t app, MatchMakingKeyValuePair_t** filters, uint32 count,
    ISteamMatchmakingServerListResponse* response);
STEAM_FLAT_API HServerListRequest SteamAPI_ISteamMatchmakingServers_RequestLANServerList(
    ISteamMatchmakingServers* self, AppId_t app, ISteamMatchmakingServerListResponse* response);
STEAM_FLAT_API HServerListRequest SteamAPI_ISteamMatchmakingServers_RequestFriendsServerList(
    ISteamMatchmakingServers* self, AppId_t app, MatchMakingKeyValuePair_t** filters, uint32 count,
    ISteamMatchmakingServerListResponse* response);
STEAM_FLAT_API HServerListRequest SteamAPI_ISteamMatchmakingServers_RequestFavoritesServerList(
    ISteamMatchmakingServers* self, AppId_t app, MatchMakingKeyValuePair_t** filters, uint32 count,
    ISteamMatchmakingServerListResponse* response);
STEAM_FLAT_API HServerListRequest SteamAPI_ISteamMatchmakingServers_RequestHistoryServerList(
    ISteamMatchmakingServers* self, AppId_t app, MatchMakingKeyValuePair_t** filters, uint32 count,
    ISteamMatchmakingServerListResponse* response);
STEAM_FLAT_API void SteamAPI_ISteamMatchmakingServers_ReleaseRequest(ISteamMatchmakingServers* self,
                                                                     HServerListRequest request);
STEAM_FLAT_API gameserveritem_t* SteamAPI_ISteamMatchmakingServers_GetServerDetails(
    ISteamMatchmakingServers* self, HServerListRequest request, int server);
