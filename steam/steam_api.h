// The Steam client API as the bridge uses it: the SDK's names (SteamAPI_Init,
// SteamUser(), ISteamUser::BLoggedOn(), CCallback<...>, ...) over the flat
// functions of Valve's redistributable library, of whichever generation the
// process loaded (steam_binding.h). The interface classes are opaque: their
// members are inline and pass `this` to the flat function, so nothing here
// depends on the library's vtables.
#pragma once

#include "steam_binding.h"
#include "steam_flat.h"
#include "steam_types.h"

#include <iostream>

// Starts the Steam API the loaded library's way: from SDK 1.58 on the library
// checks the interface versions of the accessors bound and refuses to start
// without them; err (may be null) receives its reason. An unsupported library is
// not started, and says so on standard output.
inline ESteamAPIInitResult SteamAPI_InitEx(SteamErrMsg* err) {
    return quellink::startSteam(quellink::boundSteam(), err, std::cout);
}

inline bool SteamAPI_Init() { return SteamAPI_InitEx(nullptr) == k_ESteamAPIInitResult_OK; }

// An interface object is never made by us: the library hands out its address.
#define STEAM_OPAQUE_INTERFACE(Name) \
public:                              \
    Name() = delete;                 \
    Name(const Name&) = delete;      \
    Name& operator=(const Name&) = delete;

class ISteamUser {
    STEAM_OPAQUE_INTERFACE(ISteamUser)
    bool BLoggedOn() { return SteamAPI_ISteamUser_BLoggedOn(this); }
    CSteamID GetSteamID() { return CSteamID(SteamAPI_ISteamUser_GetSteamID(this)); }
    // A ticket for no particular peer (no identity, which SDK 1.55 and older lack).
    HAuthTicket GetAuthSessionTicket(void* ticket, int capacity, uint32* length) {
        return quellink::boundSteam().getAuthSessionTicket(this, ticket, capacity, length);
    }
    void CancelAuthTicket(HAuthTicket ticket) {
        SteamAPI_ISteamUser_CancelAuthTicket(this, ticket);
    }
};

class ISteamUserStats {
    STEAM_OPAQUE_INTERFACE(ISteamUserStats)
    // False where the library has no such call (SDK 1.61 on: Steam has the stats
    // before the game starts); quellink::boundSteam().requestCurrentStats tells.
    bool RequestCurrentStats() {
        const auto request = quellink::boundSteam().requestCurrentStats;
        return request != nullptr && request(this);
    }
    bool GetStat(const char* name, int32* value) {
        return SteamAPI_ISteamUserStats_GetStatInt32(this, name, value);
    }
    bool GetStat(const char* name, float* value) {
        return SteamAPI_ISteamUserStats_GetStatFloat(this, name, value);
    }
    bool SetStat(const char* name, int32 value) {
        return SteamAPI_ISteamUserStats_SetStatInt32(this, name, value);
    }
    bool SetStat(const char* name, float value) {
        return SteamAPI_ISteamUserStats_SetStatFloat(this, name, value);
    }
    bool GetAchievement(const char* name, bool* achieved) {
        return SteamAPI_ISteamUserStats_GetAchievement(this, name, achieved);
    }
    bool SetAchievement(const char* name) {
        return SteamAPI_ISteamUserStats_SetAchievement(this, name);
    }
    bool ClearAchievement(const char* name) {
        return SteamAPI_ISteamUserStats_ClearAchievement(this, name);
    }
    bool StoreStats() { return SteamAPI_ISteamUserStats_StoreStats(this); }
};

class ISteamFriends {
    STEAM_OPAQUE_INTERFACE(ISteamFriends)
    bool SetRichPresence(const char* key, const char* value) {
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
    int AddFavoriteGame(AppId_t app, uint32 ip, uint16 connPort, uint16 queryPort, uint32 flags,
                        uint32 lastPlayed) {
        return SteamAPI_ISteamMatchmaking_AddFavoriteGame(this, app, ip, connPort, queryPort, flags,
                                                          lastPlayed);
    }
    bool RemoveFavoriteGame(AppId_t app, uint32 ip, uint16 connPort, uint16 queryPort,
                            uint32 flags) {
        return SteamAPI_ISteamMatchmaking_RemoveFavoriteGame(this, app, ip, connPort, queryPort,
                                                             flags);
    }
};

class ISteamMatchmakingServers {
    STEAM_OPAQUE_INTERFACE(ISteamMatchmakingServers)
    HServerListRequest RequestInternetServerList(AppId_t app, MatchMakingKeyValuePair_t** filters,
                                                 uint32 count,
                                                 ISteamMatchmakingServerListResponse* response) {
        return SteamAPI_ISteamMatchmakingServers_RequestInternetServerList(this, app, filters,
                                                                           count, response);
    }
    HServerListRequest RequestLANServerList(AppId_t app,
                                            ISteamMatchmakingServerListResponse* response) {
        return SteamAPI_ISteamMatchmakingServers_RequestLANServerList(this, app, response);
    }
    HServerListRequest RequestFriendsServerList(AppId_t app, MatchMakingKeyValuePair_t** filters,
                                                uint32 count,
                                                ISteamMatchmakingServerListResponse* response) {
        return SteamAPI_ISteamMatchmakingServers_RequestFriendsServerList(this, app, filters, count,
                                                                          response);
    }
    HServerListRequest RequestFavoritesServerList(AppId_t app, MatchMakingKeyValuePair_t** filters,
                                                  uint32 count,
                                                  ISteamMatchmakingServerListResponse* response) {
        return SteamAPI_ISteamMatchmakingServers_RequestFavoritesServerList(this, app, filters,
                                                                            count, response);
    }
    HServerListRequest RequestHistoryServerList(AppId_t app, MatchMakingKeyValuePair_t** filters,
                                                uint32 count,
                                                ISteamMatchmakingServerListResponse* response) {
        return SteamAPI_ISteamMatchmakingServers_RequestHistoryServerList(this, app, filters, count,
                                                                          response);
    }
    void ReleaseRequest(HServerListRequest request) {
        SteamAPI_ISteamMatchmakingServers_ReleaseRequest(this, request);
    }
    gameserveritem_t* GetServerDetails(HServerListRequest request, int server) {
        return SteamAPI_ISteamMatchmakingServers_GetServerDetails(this, request, server);
    }
};

#undef STEAM_OPAQUE_INTERFACE

// The SDK's accessors: each yields the interface, or null while Steam is not
// started (or the library is not supported, or offers that interface in no version
// known here). Ask anew for each use.
inline ISteamUser* SteamUser() { return quellink::boundSteam().user(); }
inline ISteamUserStats* SteamUserStats() { return quellink::boundSteam().userStats(); }
inline ISteamFriends* SteamFriends() { return quellink::boundSteam().friends(); }
inline ISteamUtils* SteamUtils() { return quellink::boundSteam().utils(); }
inline ISteamMatchmaking* SteamMatchmaking() { return quellink::boundSteam().matchmaking(); }
inline ISteamMatchmakingServers* SteamMatchmakingServers() {
    return quellink::boundSteam().matchmakingServers();
}

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
    typedef void (T::*func_t)(P*);

    CCallback(T* object, func_t func) : m_pObj(nullptr), m_Func(nullptr) { Register(object, func); }
    ~CCallback() {
        if (m_nCallbackFlags & k_ECallbackFlagsRegistered) SteamAPI_UnregisterCallback(this);
    }

    // Binds and registers; re-registers when already registered.
    void Register(T* object, func_t func) {
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

    void Run(void* record) override {
        if (m_pObj != nullptr && m_Func != nullptr) (m_pObj->*m_Func)(static_cast<P*>(record));
    }
    void Run(void* record, bool, SteamAPICall_t) override { Run(record); }
    int GetCallbackSizeBytes() override { return static_cast<int>(sizeof(P)); }

private:
    T* m_pObj;
    func_t m_Func;
};
