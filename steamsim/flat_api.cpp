// The flat functions that every generation of the Steam client library exports,
// as the simulator answers them (generation_api.cpp has the others). Each holds
// the simulator's lock for the whole call, logs its call first under its own name
// (see README.md for the line format), then asks the model; a call that reaches an
// interface while Steam is stopped, or through a pointer that is not the
// interface, gets the failure value (steamsim::answer).
#include "generation.h"
#include "simulator.h"

#include <string>
#include <vector>

using steamsim::answer;
using steamsim::Locked;
using steamsim::LogLine;
using steamsim::ServerList;
using steamsim::Simulator;

namespace {

// The filters of a list request, read as the library reads them and logged
// as filter.<key>="<value>".
std::vector<MatchMakingKeyValuePair_t> readFilters(LogLine& line,
                                                   MatchMakingKeyValuePair_t** filters,
                                                   uint32 count) {
    constexpr uint32 mostFilters = 64;
    std::vector<MatchMakingKeyValuePair_t> result;
    line.num("count", count);
    if (count == 0) return result;
    if (filters == nullptr || *filters == nullptr) {
        line.raw("filters", "null");
        return result;
    }
    if (count > mostFilters) {
        line.raw("filters", "too-many");
        return result;
    }
    for (uint32 i = 0; i < count; ++i) {
        const MatchMakingKeyValuePair_t& filter = (*filters)[i];
        result.push_back(filter);
        const std::string key =
            "filter." + steamsim::escape(filter.m_szKey, sizeof(filter.m_szKey));
        line.str(key.c_str(), filter.m_szValue, sizeof(filter.m_szValue));
    }
    return result;
}

// A server-list request, logged with its app id, its filters (only for the kinds
// of list that take them) and its response object.
HServerListRequest requestList(const char* function, ServerList list,
                               ISteamMatchmakingServers* self, AppId_t app,
                               MatchMakingKeyValuePair_t** filters, uint32 count, bool filtered,
                               ISteamMatchmakingServerListResponse* response) {
    LogLine line(function);
    line.num("app", app);
    std::vector<MatchMakingKeyValuePair_t> read;
    if (filtered) read = readFilters(line, filters, count);
    line.ptr("response", response);
    return steamsim::answer(self, line, nullptr, [&](Simulator& sim) {
        return sim.requestList(list, app, read, response);
    });
}

}  // namespace

// --- Shutdown, the pump --------------------------------------------------------

STEAM_FLAT_API void SteamAPI_Shutdown() {
    Locked sim;
    sim->enter(LogLine("SteamAPI_Shutdown"));
    sim->shutdown();
}

STEAM_FLAT_API void SteamAPI_RunCallbacks() {
    Locked sim;
    sim->enter(LogLine("SteamAPI_RunCallbacks"));
    sim->runCallbacks(sim.lock());
}

STEAM_FLAT_API bool SteamAPI_RestartAppIfNecessary(uint32 ownAppId) {
    Locked sim;
    sim->enter(LogLine("SteamAPI_RestartAppIfNecessary").num("app", ownAppId));
    return sim->restartApp();
}

STEAM_FLAT_API void SteamAPI_RegisterCallback(CCallbackBase* callback, int callbackId) {
    Locked sim;
    sim->registerCallback(callback, callbackId);
    LogLine line("SteamAPI_RegisterCallback");
    if (callback == nullptr)
        line.raw("callback", "null");
    else
        line.raw("callback", sim->callbackLabel(callback));
    sim->enter(line.num("id", callbackId));
}

STEAM_FLAT_API void SteamAPI_UnregisterCallback(CCallbackBase* callback) {
    Locked sim;
    LogLine line("SteamAPI_UnregisterCallback");
    sim->enter(line.raw("callback", callback == nullptr ? "null" : sim->callbackLabel(callback)));
    sim->unregisterCallback(callback);
}

// --- ISteamUser ---------------------------------------------------------------

STEAM_FLAT_API bool SteamAPI_ISteamUser_BLoggedOn(ISteamUser* self) {
    return answer(self, LogLine(__func__), false, [](Simulator& sim) { return sim.loggedOn(); });
}

STEAM_FLAT_API uint64 SteamAPI_ISteamUser_GetSteamID(ISteamUser* self) {
    return answer(self, LogLine(__func__), 0, [](Simulator& sim) { return sim.steamId(); });
}

// Up to SDK 1.57 the function has no identity parameter: that generation's
// caller passes none, so it is neither read nor logged there.
STEAM_FLAT_API HAuthTicket
SteamAPI_ISteamUser_GetAuthSessionTicket(ISteamUser* self, void* ticket, int capacity,
                                         uint32* length, const SteamNetworkingIdentity* identity) {
    LogLine line(__func__);
    line.ptr("ticket", ticket).num("capacity", capacity).ptr("length", length);
    if (steamsim::generation().ticketIdentity) line.ptr("identity", identity);
    return answer(self, line, k_HAuthTicketInvalid,
                  [&](Simulator& sim) { return sim.getTicket(ticket, capacity, length); });
}

STEAM_FLAT_API void SteamAPI_ISteamUser_CancelAuthTicket(ISteamUser* self, HAuthTicket ticket) {
    answer(self, LogLine(__func__).num("ticket", ticket),
           [&](Simulator& sim) { sim.cancelTicket(ticket); });
}

// --- ISteamUserStats ----------------------------------------------------------

STEAM_FLAT_API bool SteamAPI_ISteamUserStats_GetStatInt32(ISteamUserStats* self, const char* name,
                                                          int32* value) {
    return answer(self, LogLine(__func__).str("name", name), false,
                  [&](Simulator& sim) { return sim.getStat(name, value); });
}

STEAM_FLAT_API bool SteamAPI_ISteamUserStats_GetStatFloat(ISteamUserStats* self, const char* name,
                                                          float* value) {
    return answer(self, LogLine(__func__).str("name", name), false,
                  [&](Simulator& sim) { return sim.getStat(name, value); });
}

STEAM_FLAT_API bool SteamAPI_ISteamUserStats_SetStatInt32(ISteamUserStats* self, const char* name,
                                                          int32 value) {
    return answer(self, LogLine(__func__).str("name", name).num("value", value), false,
                  [&](Simulator& sim) { return sim.setStat(name, value); });
}

STEAM_FLAT_API bool SteamAPI_ISteamUserStats_SetStatFloat(ISteamUserStats* self, const char* name,
                                                          float value) {
    return answer(self, LogLine(__func__).str("name", name).real("value", value), false,
                  [&](Simulator& sim) { return sim.setStat(name, value); });
}

STEAM_FLAT_API bool SteamAPI_ISteamUserStats_GetAchievement(ISteamUserStats* self, const char* name,
                                                            bool* achieved) {
    return answer(self, LogLine(__func__).str("name", name), false,
                  [&](Simulator& sim) { return sim.getAchievement(name, achieved); });
}

STEAM_FLAT_API bool SteamAPI_ISteamUserStats_SetAchievement(ISteamUserStats* self,
                                                            const char* name) {
    return answer(self, LogLine(__func__).str("name", name), false,
                  [&](Simulator& sim) { return sim.setAchievement(name, true); });
}

STEAM_FLAT_API bool SteamAPI_ISteamUserStats_ClearAchievement(ISteamUserStats* self,
                                                              const char* name) {
    return answer(self, LogLine(__func__).str("name", name), false,
                  [&](Simulator& sim) { return sim.setAchievement(name, false); });
}

STEAM_FLAT_API bool SteamAPI_ISteamUserStats_StoreStats(ISteamUserStats* self) {
    return answer(self, LogLine(__func__), false, [](Simulator& sim) { return sim.storeStats(); });
}

// --- ISteamUtils --------------------------------------------------------------

STEAM_FLAT_API void SteamAPI_ISteamUtils_SetOverlayNotificationPosition(
    ISteamUtils* self, ENotificationPosition position) {
    answer(self, LogLine(__func__).num("position", static_cast<int>(position)),
           [&](Simulator& sim) { sim.setOverlayPosition(position); });
}

STEAM_FLAT_API bool SteamAPI_ISteamUtils_BOverlayNeedsPresent(ISteamUtils* self) {
    return answer(self, LogLine(__func__), false,
                  [](Simulator& sim) { return sim.overlayNeedsPresent(); });
}

STEAM_FLAT_API uint32 SteamAPI_ISteamUtils_GetAppID(ISteamUtils* self) {
    return answer(self, LogLine(__func__), 0, [](Simulator& sim) { return sim.appId(); });
}

// --- ISteamFriends ------------------------------------------------------------

STEAM_FLAT_API bool SteamAPI_ISteamFriends_SetRichPresence(ISteamFriends* self, const char* key,
                                                           const char* value) {
    return answer(self, LogLine(__func__).str("key", key).str("value", value), false,
                  [&](Simulator& sim) { return sim.setRichPresence(key, value); });
}

// --- ISteamMatchmaking --------------------------------------------------------

STEAM_FLAT_API int SteamAPI_ISteamMatchmaking_GetFavoriteGameCount(ISteamMatchmaking* self) {
    return answer(self, LogLine(__func__), 0, [](Simulator& sim) { return sim.favoriteCount(); });
}

STEAM_FLAT_API int SteamAPI_ISteamMatchmaking_AddFavoriteGame(ISteamMatchmaking* self, AppId_t app,
                                                              uint32 ip, uint16 connPort,
                                                              uint16 queryPort, uint32 flags,
                                                              uint32 lastPlayed) {
    LogLine line(__func__);
    line.num("app", app).num("ip", ip).num("conn_port", connPort).num("query_port", queryPort);
    line.num("flags", flags).num("last_played", lastPlayed);
    return answer(self, line, 0, [&](Simulator& sim) {
        return sim.addFavorite({app, ip, connPort, queryPort, flags, lastPlayed});
    });
}

STEAM_FLAT_API bool SteamAPI_ISteamMatchmaking_RemoveFavoriteGame(ISteamMatchmaking* self,
                                                                  AppId_t app, uint32 ip,
                                                                  uint16 connPort, uint16 queryPort,
                                                                  uint32 flags) {
    LogLine line(__func__);
    line.num("app", app).num("ip", ip).num("conn_port", connPort).num("query_port", queryPort);
    line.num("flags", flags);
    return answer(self, line, false, [&](Simulator& sim) {
        return sim.removeFavorite({app, ip, connPort, queryPort, flags, 0});
    });
}

// --- ISteamMatchmakingServers -------------------------------------------------

STEAM_FLAT_API HServerListRequest SteamAPI_ISteamMatchmakingServers_RequestLANServerList(
    ISteamMatchmakingServers* self, AppId_t app, ISteamMatchmakingServerListResponse* response) {
    return requestList(__func__, ServerList::lan, self, app, nullptr, 0, false, response);
}

// The four lists that take filters differ only in the list asked for.
#define STEAMSIM_FILTERED_LIST_REQUEST(Function, list)                                            \
    STEAM_FLAT_API HServerListRequest Function(ISteamMatchmakingServers* self, AppId_t app,       \
                                               MatchMakingKeyValuePair_t** filters, uint32 count, \
                                               ISteamMatchmakingServerListResponse* response) {   \
        return requestList(#Function, list, self, app, filters, count, true, response);           \
    }

STEAMSIM_FILTERED_LIST_REQUEST(SteamAPI_ISteamMatchmakingServers_RequestInternetServerList,
                               ServerList::internet)
STEAMSIM_FILTERED_LIST_REQUEST(SteamAPI_ISteamMatchmakingServers_RequestFriendsServerList,
                               ServerList::friends)
STEAMSIM_FILTERED_LIST_REQUEST(SteamAPI_ISteamMatchmakingServers_RequestFavoritesServerList,
                               ServerList::favorites)
STEAMSIM_FILTERED_LIST_REQUEST(SteamAPI_ISteamMatchmakingServers_RequestHistoryServerList,
                               ServerList::history)

#undef STEAMSIM_FILTERED_LIST_REQUEST

STEAM_FLAT_API void SteamAPI_ISteamMatchmakingServers_ReleaseRequest(ISteamMatchmakingServers* self,
                                                                     HServerListRequest request) {
    answer(self, LogLine(__func__).num("request", reinterpret_cast<std::uintptr_t>(request)),
           [&](Simulator& sim) { sim.releaseRequest(request); });
}

STEAM_FLAT_API gameserveritem_t* SteamAPI_ISteamMatchmakingServers_GetServerDetails(
    ISteamMatchmakingServers* self, HServerListRequest request, int server) {
    LogLine line(__func__);
    line.num("request", reinterpret_cast<std::uintptr_t>(request)).num("server", server);
    return answer(self, line, nullptr,
                  [&](Simulator& sim) { return sim.serverDetails(request, server); });
}
