// The Steam client API as the bridge uses it: the SDK's names (SteamAPI_Init,
// SteamUser(), ISteamUser::BLoggedOn(), CCallback<...>, ...) over the flat
// functions of Valve's redistributable library. The interface classes are
// opaque: their members are inline and pass `this` to the flat function, so
// nothing here depends on the library's vtables.
#pragma once

#include "steam_flat.h"
#include "steam_types.h"

// The interface versions this code is written against. SteamAPI_Init asks
// the library to refuse to start when it does not provide one of them.
#define STEAMUSER_INTERFACE_VERSION "SteamUser023"
#define STEAMUSERSTATS_INTERFACE_VERSION "STEAMUSERSTATS_INTERFACE_VERSION012"
#define STEAMFRIENDS_INTERFACE_VERSION "SteamFriends017"
#define STEAMUTILS_INTERFACE_VERSION "SteamUtils010"
#define STEAMMATCHMAKING_INTERFACE_VERSION "SteamMatchMaking009"
#define STEAMMATCHMAKINGSERVERS_INTERFACE_VERSION "SteamMatchMakingServers002"

// Starts the Steam API with the interface check; err (may be null) receives
// the library's reason when it refuses.
inline ESteamAPIInitResult SteamAPI_InitEx(SteamErrMsg *err) {
  // Each version ends in NUL; the literal's own terminator ends the list.
  static const char versions[] = STEAMUSER_INTERFACE_VERSION "\0" STEAMUSERSTATS_INTERFACE_VERSION
      "\0" STEAMFRIENDS_INTERFACE_VERSION "\0" STEAMUTILS_INTERFACE_VERSION
      "\0" STEAMMATCHMAKING_INTERFACE_VERSION "\0" STEAMMATCHMAKINGSERVERS_INTERFACE_VERSION "\0";
  return SteamInternal_SteamAPI_Init(versions, err);
}

inline bool SteamAPI_Init() { return SteamAPI_InitEx(nullptr) == k_ESteamAPIInitResult_OK; }

// An interface object is never made by us: the library hands out its address.
#define STEAM_OPAQUE_INTERFACE(Name)                                                                                   \
public:                                                                                                                \
  Name() = delete;                                                                                                     \
  Name(const Name &) = delete;                                                                                         \
  Name &operator=(const Name &) = delete;

class ISteamUser {
  STEAM_OPAQUE_INTERFACE(ISteamUser)
  bool BLoggedOn() { return SteamAPI_ISteamUser_BLoggedOn(this); }
  CSteamID GetSteamID() { return CSteamID(SteamAPI_ISteamUser_GetSteamID(this)); }
  HAuthTicket GetAuthSessionTicket(void *ticket, int capacity, uint32 *length,
                                   const SteamNetworkingIdentity *identity = nullptr) {
    return SteamAPI_ISteamUser_GetAuthSessionTicket(this, ticket, capacity, length, identity);
  }
  void CancelAuthTicket(HAuthTicket ticket) { SteamAPI_ISteamUser_CancelAuthTicket(this, ticket); }
};

class ISteamUserStats {
  STEAM_OPAQUE_INTERFACE(ISteamUserStats)
  bool RequestCurrentStats() { return SteamAPI_ISteamUserStats_RequestCurrentStats(this); }
  bool GetStat(const char *name, int32 *value) { return SteamAPI_ISteamUserStats_GetStatInt32(this, name, value); }
  bool GetStat(const char *name, float *value) { return SteamAPI_ISteamUserStats_GetStatFloat(this, name, value); }
  bool SetStat(const char *name, int32 value) { return SteamAPI_ISteamUserStats_SetStatInt32(this, name, value); }
  bool SetStat(const char *name, float value) { return SteamAPI_ISteamUserStats_SetStatFloat(this, name, value); }
  bool GetAchievement(const char *name, bool *achieved) {
    return SteamAPI_ISteamUserStats_GetAchievement(this, name, achieved);
  }
  bool SetAchievement(const char *name) { return SteamAPI_ISteamUserStats_SetAchievement(this, name); }
  bool ClearAchievement(const char *name) { return SteamAPI_ISteamUserStats_ClearAchievement(this, name); }
  bool StoreStats() { return SteamAPI_ISteamUserStats_StoreStats(this); }
};

class ISteamFriends {
  STEAM_OPAQUE_INTERFACE(ISteamFriends)
  bool SetRichPresence(const char *key, const char *value) {
    return SteamAPI_ISteamFriends_SetRichPresence(this, key, value);
  }
};

class ISteamUtils {
  STEAM_OPAQUE_INTERFACE(ISteamUtils)
  void SetOverlayNotificationPosition(ENotificationPosition position) {
    SteamAPI_ISteamUtils_SetOverlayNotificationPosition(this, position);
  }
  bool BOverlayNeedsPresent() { return SteamAPI_ISteamUtils_BOverlayNeedsPresent(this); }
  uint32 GetAppID() { return SteamAPI_ISteamUtils_GetAppID(this); }
};

class ISteamMatchmaking {
  STEAM_OPAQUE_INTERFACE(ISteamMatchmaking)
  int GetFavoriteGameCount() { return SteamAPI_ISteamMatchmaking_GetFavoriteGameCount(this); }
  int AddFavoriteGame(AppId_t app, uint32 ip, uint16 connPort, uint16 queryPort, uint32 flags, uint32 lastPlayed) {
    return SteamAPI_ISteamMatchmaking_AddFavoriteGame(this, app, ip, connPort, queryPort, flags, lastPlayed);
  }
  bool RemoveFavoriteGame(AppId_t app, uint32 ip, uint16 connPort, uint16 queryPort, uint32 flags) {
    return SteamAPI_ISteamMatchmaking_RemoveFavoriteGame(this, app, ip, connPort, queryPort, flags);
  }
};

class ISteamMatchmakingServers {
  STEAM_OPAQUE_INTERFACE(ISteamMatchmakingServers)
  HServerListRequest RequestInternetServerList(AppId_t app, MatchMakingKeyValuePair_t **filters, uint32 count,
                                               ISteamMatchmakingServerListResponse *response) {
    return SteamAPI_ISteamMatchmakingServers_RequestInternetServerList(this, app, filters, count, response);
  }
  HServerListRequest RequestLANServerList(AppId_t app, ISteamMatchmakingServerListResponse *response) {
    return SteamAPI_ISteamMatchmakingServers_RequestLANServerList(this, app, response);
  }
  HServerListRequest RequestFriendsServerList(AppId_t app, MatchMakingKeyValuePair_t **filters, uint32 count,
                                              ISteamMatchmakingServerListResponse *response) {
    return SteamAPI_ISteamMatchmakingServers_RequestFriendsServerList(this, app, filters, count, response);
  }
  HServerListRequest RequestFavoritesServerList(AppId_t app, MatchMakingKeyValuePair_t **filters, uint32 count,
                                                ISteamMatchmakingServerListResponse *response) {
    return SteamAPI_ISteamMatchmakingServers_RequestFavoritesServerList(this, app, filters, count, response);
  }
  HServerListRequest RequestHistoryServerList(AppId_t app, MatchMakingKeyValuePair_t **filters, uint32 count,
                                              ISteamMatchmakingServerListResponse *response) {
    return SteamAPI_ISteamMatchmakingServers_RequestHistoryServerList(this, app, filters, count, response);
  }
  void ReleaseRequest(HServerListRequest request) { SteamAPI_ISteamMatchmakingServers_ReleaseRequest(this, request); }
  gameserveritem_t *GetServerDetails(HServerListRequest request, int server) {
    return SteamAPI_ISteamMatchmakingServers_GetServerDetails(this, request, server);
  }
};

#undef STEAM_OPAQUE_INTERFACE

// The SDK's accessors: each yields the interface, or null while Steam is not
// started. Ask anew for each use.
inline ISteamUser *SteamUser() { return SteamAPI_SteamUser_v023(); }
inline ISteamUserStats *SteamUserStats() { return SteamAPI_SteamUserStats_v012(); }
inline ISteamFriends *SteamFriends() { return SteamAPI_SteamFriends_v017(); }
inline ISteamUtils *SteamUtils() { return SteamAPI_SteamUtils_v010(); }
inline ISteamMatchmaking *SteamMatchmaking() { return SteamAPI_SteamMatchmaking_v009(); }
inline ISteamMatchmakingServers *SteamMatchmakingServers() { return SteamAPI_SteamMatchmakingServers_v002(); }

// A callback object bound to a member function of T, receiving records of
// type P (P::k_iCallback names the event). It registers itself when built and
// unregisters when destroyed, if the library still holds it registered. Both
// Run overloads hand the record to the bound function, since MSVC and GCC
// order the two overloads differently in the vtable.
//
// final: deleting one never goes through a base without virtual destructor.
template <class T, class P, bool bGameServer = false>
class CCallback final : public CCallbackBase {
public:
  typedef void (T::*func_t)(P *);

  CCallback(T *object, func_t func) : m_pObj(nullptr), m_Func(nullptr) { Register(object, func); }
  ~CCallback() {
    if (m_nCallbackFlags & k_ECallbackFlagsRegistered) SteamAPI_UnregisterCallback(this);
  }

  // Binds and registers; re-registers when already registered.
  void Register(T *object, func_t func) {
    if (object == nullptr || func == nullptr) return;
    if (m_nCallbackFlags & k_ECallbackFlagsRegistered) Unregister();
    if (bGameServer) m_nCallbackFlags |= k_ECallbackFlagsGameServer;
    m_pObj = object;
    m_Func = func;
    SteamAPI_RegisterCallback(this, P::k_iCallback);
  }

  void Unregister() {
    m_pObj = nullptr;
    m_Func = nullptr;
    SteamAPI_UnregisterCallback(this);
  }

  void Run(void *record) override {
    if (m_pObj != nullptr && m_Func != nullptr) (m_pObj->*m_Func)(static_cast<P *>(record));
  }
  void Run(void *record, bool, SteamAPICall_t) override { Run(record); }
  int GetCallbackSizeBytes() override { return static_cast<int>(sizeof(P)); }

private:
  T *m_pObj;
  func_t m_Func;
};
