#include "fake_steam.h"

#include "platform/steam_library.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <unistd.h>

namespace fake {

SteamState steam;

void resetSteam() { steam = SteamState{}; }

CCallbackBase* registeredCallback(int id) {
    for (const auto& entry : steam.registered)
        if (entry.second == id) return entry.first;
    return nullptr;
}

std::string handleText(HServerListRequest request) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(request)));
    return text;
}

namespace {

int interfaceObject;  // what the accessors hand out; never dereferenced

HServerListRequest startList(const char* name, AppId_t app, MatchMakingKeyValuePair_t** filters,
                             uint32 count, ISteamMatchmakingServerListResponse* response) {
    steam.calls.push_back(std::string(name) + " " + std::to_string(app));
    steam.lastFilters.clear();
    steam.lastFiltersNull = filters == nullptr;
    steam.lastFilterCount = count;
    if (filters != nullptr) {
        for (uint32 i = 0; i < count; ++i)
            steam.lastFilters.push_back({(*filters)[i].m_szKey, (*filters)[i].m_szValue});
    }
    steam.lastResponse = response;
    if (steam.zeroHandles) return nullptr;
    return reinterpret_cast<HServerListRequest>(steam.nextHandle++);
}

}  // namespace

}  // namespace fake

using fake::steam;

extern "C" {

ISteamUtils* SteamAPI_SteamUtils_v010() {
    return steam.running && !steam.utilsMissing
               ? reinterpret_cast<ISteamUtils*>(&fake::interfaceObject)
               : nullptr;
}
ISteamMatchmakingServers* SteamAPI_SteamMatchmakingServers_v002() {
    return steam.running ? reinterpret_cast<ISteamMatchmakingServers*>(&fake::interfaceObject)
                         : nullptr;
}
uint32 SteamAPI_ISteamUtils_GetAppID(ISteamUtils*) {
    steam.calls.push_back("GetAppID");
    return steam.appId;
}

HServerListRequest SteamAPI_ISteamMatchmakingServers_RequestInternetServerList(
    ISteamMatchmakingServers*, AppId_t app, MatchMakingKeyValuePair_t** filters, uint32 count,
    ISteamMatchmakingServerListResponse* response) {
    return fake::startList("RequestInternetServerList", app, filters, count, response);
}
HServerListRequest SteamAPI_ISteamMatchmakingServers_RequestLANServerList(
    ISteamMatchmakingServers*, AppId_t app, ISteamMatchmakingServerListResponse* response) {
    return fake::startList("RequestLANServerList", app, nullptr, 0, response);
}
HServerListRequest SteamAPI_ISteamMatchmakingServers_RequestFriendsServerList(
    ISteamMatchmakingServers*, AppId_t app, MatchMakingKeyValuePair_t** filters, uint32 count,
    ISteamMatchmakingServerListResponse* response) {
    return fake::startList("RequestFriendsServerList", app, filters, count, response);
}
HServerListRequest SteamAPI_ISteamMatchmakingServers_RequestFavoritesServerList(
    ISteamMatchmakingServers*, AppId_t app, MatchMakingKeyValuePair_t** filters, uint32 count,
    ISteamMatchmakingServerListResponse* response) {
    return fake::startList("RequestFavoritesServerList", app, filters, count, response);
}
HServerListRequest SteamAPI_ISteamMatchmakingServers_RequestHistoryServerList(
    ISteamMatchmakingServers*, AppId_t app, MatchMakingKeyValuePair_t** filters, uint32 count,
    ISteamMatchmakingServerListResponse* response) {
    return fake::startList("RequestHistoryServerList", app, filters, count, response);
}
void SteamAPI_ISteamMatchmakingServers_ReleaseRequest(ISteamMatchmakingServers*,
                                                      HServerListRequest request) {
    steam.calls.push_back("ReleaseRequest " + fake::handleText(request));
}
gameserveritem_t* SteamAPI_ISteamMatchmakingServers_GetServerDetails(ISteamMatchmakingServers*,
                                                                     HServerListRequest request,
                                                                     int server) {
    steam.calls.push_back("GetServerDetails " + fake::handleText(request) + " " +
                          std::to_string(server));
    auto found = steam.details.find({request, server});
    return found != steam.details.end() ? &found->second : nullptr;
}

HAuthTicket SteamAPI_ISteamUser_GetAuthSessionTicket(ISteamUser*, void*, int, uint32*,
                                                     const SteamNetworkingIdentity*) {
    return k_HAuthTicketInvalid;
}

void SteamAPI_Shutdown() {
    steam.calls.push_back("Shutdown");
    if (steam.onShutdown) steam.onShutdown();
}
void SteamAPI_RunCallbacks() {}
bool SteamAPI_RestartAppIfNecessary(uint32) { return false; }
uint64 SteamAPI_ISteamUser_GetSteamID(ISteamUser*) { return 0; }

void SteamAPI_RegisterCallback(CCallbackBase* callback, int id) {
    steam.calls.push_back("RegisterCallback " + std::to_string(id));
    callback->m_nCallbackFlags |= CCallbackBase::k_ECallbackFlagsRegistered;
    callback->m_iCallback = id;
    steam.registered.emplace_back(callback, id);
}
void SteamAPI_UnregisterCallback(CCallbackBase* callback) {
    if (steam.unregisterEndsProcess) _exit(3);
    steam.calls.push_back("UnregisterCallback " + std::to_string(callback->m_iCallback));
    callback->m_nCallbackFlags &= static_cast<uint8>(~CCallbackBase::k_ECallbackFlagsRegistered);
    auto& r = steam.registered;
    r.erase(std::remove_if(r.begin(), r.end(), [&](const auto& e) { return e.first == callback; }),
            r.end());
}

}  // extern "C"

namespace {

ESteamAPIInitResult startUp(const char*, SteamErrMsg*) { return k_ESteamAPIInitResult_OK; }
void* noInterface() { return nullptr; }

}  // namespace

// The fake as the Steam library the bridge binds to: a library of SDK 1.58-1.60
// whose accessors the event side does not use yield nothing.
void* quellink::platform::findSteamFunction(const char* name) {
    const std::pair<const char*, void*> exports[] = {
        {"SteamInternal_SteamAPI_Init", reinterpret_cast<void*>(&startUp)},
        {"SteamAPI_SteamUser_v023", reinterpret_cast<void*>(&noInterface)},
        {"SteamAPI_SteamUserStats_v012", reinterpret_cast<void*>(&noInterface)},
        {"SteamAPI_SteamFriends_v017", reinterpret_cast<void*>(&noInterface)},
        {"SteamAPI_SteamUtils_v010", reinterpret_cast<void*>(&SteamAPI_SteamUtils_v010)},
        {"SteamAPI_SteamMatchmaking_v009", reinterpret_cast<void*>(&noInterface)},
        {"SteamAPI_SteamMatchmakingServers_v002",
         reinterpret_cast<void*>(&SteamAPI_SteamMatchmakingServers_v002)},
    };
    for (const auto& entry : exports)
        if (std::strcmp(entry.first, name) == 0) return entry.second;
    return nullptr;
}
