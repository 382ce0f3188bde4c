// The flat functions of the Steam client library, as the simulator answers
// them. Each logs its call first (see README.md for the line format), then
// asks the model; a call that reaches an interface while Steam is stopped, or
// through a pointer that is not the interface, gets the failure value.
#include "simulator.h"

#include <string>
#include <vector>

using steamsim::Interface;
using steamsim::LogLine;
using steamsim::ServerList;
using steamsim::Simulator;

namespace {

Simulator &sim() { return Simulator::instance(); }

// The version list as one text: "A,B,C".
std::string version_list(const char *versions) {
  std::string text;
  if (versions == nullptr) return text;
  std::size_t total = 0;
  for (const char *v = versions; *v != '\0' && total < 4096; v += std::strlen(v) + 1) {
    if (!text.empty()) text += ',';
    text += v;
    total += std::strlen(v) + 1;
  }
  return text;
}

// The filters of a list request, read as the library reads them and logged
// as filter.<key>="<value>".
std::vector<MatchMakingKeyValuePair_t> read_filters(LogLine &line, MatchMakingKeyValuePair_t **filters,
                                                    uint32 count) {
  constexpr uint32 kMostFilters = 64;
  std::vector<MatchMakingKeyValuePair_t> result;
  line.num("count", count);
  if (count == 0) return result;
  if (filters == nullptr || *filters == nullptr) {
    line.raw("filters", "null");
    return result;
  }
  if (count > kMostFilters) {
    line.raw("filters", "too-many");
    return result;
  }
  for (uint32 i = 0; i < count; ++i) {
    const MatchMakingKeyValuePair_t &filter = (*filters)[i];
    result.push_back(filter);
    const std::string key = "filter." + steamsim::escape(filter.m_szKey, sizeof(filter.m_szKey));
    line.str(key.c_str(), filter.m_szValue, sizeof(filter.m_szValue));
  }
  return result;
}

HServerListRequest request_list(const char *function, ServerList list, ISteamMatchmakingServers *self, AppId_t app,
                                MatchMakingKeyValuePair_t **filters, uint32 count, bool filtered,
                                ISteamMatchmakingServerListResponse *response) {
  LogLine line(function);
  line.num("app", app);
  std::vector<MatchMakingKeyValuePair_t> read;
  if (filtered) read = read_filters(line, filters, count);
  line.ptr("response", response);
  if (!sim().enter(line, self, Interface::MatchmakingServers)) return nullptr;
  return sim().request_list(list, app, read, response);
}

} // namespace

// --- Start-up, shutdown, the pump -------------------------------------------

STEAM_FLAT_API ESteamAPIInitResult SteamInternal_SteamAPI_Init(const char *versions, SteamErrMsg *err) {
  LogLine line("SteamInternal_SteamAPI_Init");
  if (versions == nullptr)
    line.raw("versions", "null");
  else
    line.str("versions", version_list(versions).c_str());
  line.ptr("err", err);
  sim().enter(line);
  return sim().init(versions, err);
}

STEAM_FLAT_API ESteamAPIInitResult SteamAPI_InitFlat(SteamErrMsg *err) {
  LogLine line("SteamAPI_InitFlat");
  line.ptr("err", err);
  sim().enter(line);
  return sim().init(nullptr, err);
}

STEAM_FLAT_API void SteamAPI_Shutdown() {
  sim().enter(LogLine("SteamAPI_Shutdown"));
  sim().shutdown();
}

STEAM_FLAT_API void SteamAPI_RunCallbacks() {
  sim().enter(LogLine("SteamAPI_RunCallbacks"));
  sim().run_callbacks();
}

STEAM_FLAT_API bool SteamAPI_RestartAppIfNecessary(uint32 ownAppId) {
  sim().enter(LogLine("SteamAPI_RestartAppIfNecessary").num("app", ownAppId));
  return sim().restart_app();
}

STEAM_FLAT_API void SteamAPI_RegisterCallback(CCallbackBase *callback, int callbackId) {
  sim().register_callback(callback, callbackId);
  LogLine line("SteamAPI_RegisterCallback");
  if (callback == nullptr)
    line.raw("callback", "null");
  else
    line.raw("callback", sim().callback_label(callback));
  sim().enter(line.num("id", callbackId));
}

STEAM_FLAT_API void SteamAPI_UnregisterCallback(CCallbackBase *callback) {
  LogLine line("SteamAPI_UnregisterCallback");
  sim().enter(line.raw("callback", callback == nullptr ? "null" : sim().callback_label(callback)));
  sim().unregister_callback(callback);
}

// --- Accessors ----------------------------------------------------------------

#define STEAMSIM_ACCESSOR(Type, Function, Which)                                                                       \
  STEAM_FLAT_API Type *Function() {                                                                                    \
    sim().enter(LogLine(#Function));                                                                                   \
    return static_cast<Type *>(sim().interface(Interface::Which));                                                     \
  }

STEAMSIM_ACCESSOR(ISteamUser, SteamAPI_SteamUser_v023, User)
STEAMSIM_ACCESSOR(ISteamUserStats, SteamAPI_SteamUserStats_v012, UserStats)
STEAMSIM_ACCESSOR(ISteamFriends, SteamAPI_SteamFriends_v017, Friends)
STEAMSIM_ACCESSOR(ISteamUtils, SteamAPI_SteamUtils_v010, Utils)
STEAMSIM_ACCESSOR(ISteamMatchmaking, SteamAPI_SteamMatchmaking_v009, Matchmaking)
STEAMSIM_ACCESSOR(ISteamMatchmakingServers, SteamAPI_SteamMatchmakingServers_v002, MatchmakingServers)

#undef STEAMSIM_ACCESSOR

// --- ISteamUser ---------------------------------------------------------------

STEAM_FLAT_API bool SteamAPI_ISteamUser_BLoggedOn(ISteamUser *self) {
  LogLine line("SteamAPI_ISteamUser_BLoggedOn");
  return sim().enter(line, self, Interface::User) && sim().logged_on();
}

STEAM_FLAT_API uint64 SteamAPI_ISteamUser_GetSteamID(ISteamUser *self) {
  LogLine line("SteamAPI_ISteamUser_GetSteamID");
  return sim().enter(line, self, Interface::User) ? sim().steam_id() : 0;
}

STEAM_FLAT_API HAuthTicket SteamAPI_ISteamUser_GetAuthSessionTicket(ISteamUser *self, void *ticket, int capacity,
                                                                    uint32 *length,
                                                                    const SteamNetworkingIdentity *identity) {
  LogLine line("SteamAPI_ISteamUser_GetAuthSessionTicket");
  line.ptr("ticket", ticket).num("capacity", capacity).ptr("length", length).ptr("identity", identity);
  if (!sim().enter(line, self, Interface::User)) return k_HAuthTicketInvalid;
  return sim().get_ticket(ticket, capacity, length);
}

STEAM_FLAT_API void SteamAPI_ISteamUser_CancelAuthTicket(ISteamUser *self, HAuthTicket ticket) {
  LogLine line("SteamAPI_ISteamUser_CancelAuthTicket");
  if (sim().enter(line.num("ticket", ticket), self, Interface::User)) sim().cancel_ticket(ticket);
}

// --- ISteamUserStats ----------------------------------------------------------

STEAM_FLAT_API bool SteamAPI_ISteamUserStats_RequestCurrentStats(ISteamUserStats *self) {
  LogLine line("SteamAPI_ISteamUserStats_RequestCurrentStats");
  return sim().enter(line, self, Interface::UserStats) && sim().request_stats();
}

STEAM_FLAT_API bool SteamAPI_ISteamUserStats_GetStatInt32(ISteamUserStats *self, const char *name, int32 *value) {
  LogLine line("SteamAPI_ISteamUserStats_GetStatInt32");
  return sim().enter(line.str("name", name), self, Interface::UserStats) && sim().get_stat(name, value);
}

STEAM_FLAT_API bool SteamAPI_ISteamUserStats_GetStatFloat(ISteamUserStats *self, const char *name, float *value) {
  LogLine line("SteamAPI_ISteamUserStats_GetStatFloat");
  return sim().enter(line.str("name", name), self, Interface::UserStats) && sim().get_stat(name, value);
}

STEAM_FLAT_API bool SteamAPI_ISteamUserStats_SetStatInt32(ISteamUserStats *self, const char *name, int32 value) {
  LogLine line("SteamAPI_ISteamUserStats_SetStatInt32");
  return sim().enter(line.str("name", name).num("value", value), self, Interface::UserStats) &&
         sim().set_stat(name, value);
}

STEAM_FLAT_API bool SteamAPI_ISteamUserStats_SetStatFloat(ISteamUserStats *self, const char *name, float value) {
  LogLine line("SteamAPI_ISteamUserStats_SetStatFloat");
  return sim().enter(line.str("name", name).real("value", value), self, Interface::UserStats) &&
         sim().set_stat(name, value);
}

STEAM_FLAT_API bool SteamAPI_ISteamUserStats_GetAchievement(ISteamUserStats *self, const char *name,
                                                            bool *achieved) {
  LogLine line("SteamAPI_ISteamUserStats_GetAchievement");
  return sim().enter(line.str("name", name), self, Interface::UserStats) && sim().get_achievement(name, achieved);
}

STEAM_FLAT_API bool SteamAPI_ISteamUserStats_SetAchievement(ISteamUserStats *self, const char *name) {
  LogLine line("SteamAPI_ISteamUserStats_SetAchievement");
  return sim().enter(line.str("name", name), self, Interface::UserStats) && sim().set_achievement(name, true);
}

STEAM_FLAT_API bool SteamAPI_ISteamUserStats_ClearAchievement(ISteamUserStats *self, const char *name) {
  LogLine line("SteamAPI_ISteamUserStats_ClearAchievement");
  return sim().enter(line.str("name", name), self, Interface::UserStats) && sim().set_achievement(name, false);
}

STEAM_FLAT_API bool SteamAPI_ISteamUserStats_StoreStats(ISteamUserStats *self) {
  LogLine line("SteamAPI_ISteamUserStats_StoreStats");
  return sim().enter(line, self, Interface::UserStats) && sim().store_stats();
}

// --- ISteamUtils --------------------------------------------------------------

STEAM_FLAT_API void SteamAPI_ISteamUtils_SetOverlayNotificationPosition(ISteamUtils *self,
                                                                        ENotificationPosition position) {
  LogLine line("SteamAPI_ISteamUtils_SetOverlayNotificationPosition");
  if (sim().enter(line.num("position", static_cast<int>(position)), self, Interface::Utils))
    sim().set_overlay_position(position);
}

STEAM_FLAT_API bool SteamAPI_ISteamUtils_BOverlayNeedsPresent(ISteamUtils *self) {
  LogLine line("SteamAPI_ISteamUtils_BOverlayNeedsPresent");
  return sim().enter(line, self, Interface::Utils) && sim().overlay_needs_present();
}

STEAM_FLAT_API uint32 SteamAPI_ISteamUtils_GetAppID(ISteamUtils *self) {
  LogLine line("SteamAPI_ISteamUtils_GetAppID");
  return sim().enter(line, self, Interface::Utils) ? sim().app_id() : 0;
}

// --- ISteamFriends ------------------------------------------------------------

STEAM_FLAT_API bool SteamAPI_ISteamFriends_SetRichPresence(ISteamFriends *self, const char *key,
                                                           const char *value) {
  LogLine line("SteamAPI_ISteamFriends_SetRichPresence");
  return sim().enter(line.str("key", key).str("value", value), self, Interface::Friends) &&
         sim().set_rich_presence(key, value);
}

// --- ISteamMatchmaking --------------------------------------------------------

STEAM_FLAT_API int SteamAPI_ISteamMatchmaking_GetFavoriteGameCount(ISteamMatchmaking *self) {
  LogLine line("SteamAPI_ISteamMatchmaking_GetFavoriteGameCount");
  return sim().enter(line, self, Interface::Matchmaking) ? sim().favorite_count() : 0;
}

STEAM_FLAT_API int SteamAPI_ISteamMatchmaking_AddFavoriteGame(ISteamMatchmaking *self, AppId_t app, uint32 ip,
                                                              uint16 connPort, uint16 queryPort, uint32 flags,
                                                              uint32 lastPlayed) {
  LogLine line("SteamAPI_ISteamMatchmaking_AddFavoriteGame");
  line.num("app", app).num("ip", ip).num("conn_port", connPort).num("query_port", queryPort);
  line.num("flags", flags).num("last_played", lastPlayed);
  if (!sim().enter(line, self, Interface::Matchmaking)) return 0;
  return sim().add_favorite({app, ip, connPort, queryPort, flags, lastPlayed});
}

STEAM_FLAT_API bool SteamAPI_ISteamMatchmaking_RemoveFavoriteGame(ISteamMatchmaking *self, AppId_t app, uint32 ip,
                                                                  uint16 connPort, uint16 queryPort, uint32 flags) {
  LogLine line("SteamAPI_ISteamMatchmaking_RemoveFavoriteGame");
  line.num("app", app).num("ip", ip).num("conn_port", connPort).num("query_port", queryPort).num("flags", flags);
  return sim().enter(line, self, Interface::Matchmaking) &&
         sim().remove_favorite({app, ip, connPort, queryPort, flags, 0});
}

// --- ISteamMatchmakingServers -------------------------------------------------

STEAM_FLAT_API HServerListRequest SteamAPI_ISteamMatchmakingServers_RequestInternetServerList(
    ISteamMatchmakingServers *self, AppId_t app, MatchMakingKeyValuePair_t **filters, uint32 count,
    ISteamMatchmakingServerListResponse *response) {
  return request_list("SteamAPI_ISteamMatchmakingServers_RequestInternetServerList", ServerList::Internet, self, app,
                      filters, count, true, response);
}

STEAM_FLAT_API HServerListRequest SteamAPI_ISteamMatchmakingServers_RequestLANServerList(
    ISteamMatchmakingServers *self, AppId_t app, ISteamMatchmakingServerListResponse *response) {
  return request_list("SteamAPI_ISteamMatchmakingServers_RequestLANServerList", ServerList::Lan, self, app, nullptr,
                      0, false, response);
}

STEAM_FLAT_API HServerListRequest SteamAPI_ISteamMatchmakingServers_RequestFriendsServerList(
    ISteamMatchmakingServers *self, AppId_t app, MatchMakingKeyValuePair_t **filters, uint32 count,
    ISteamMatchmakingServerListResponse *response) {
  return request_list("SteamAPI_ISteamMatchmakingServers_RequestFriendsServerList", ServerList::Friends, self, app,
                      filters, count, true, response);
}

STEAM_FLAT_API HServerListRequest SteamAPI_ISteamMatchmakingServers_RequestFavoritesServerList(
    ISteamMatchmakingServers *self, AppId_t app, MatchMakingKeyValuePair_t **filters, uint32 count,
    ISteamMatchmakingServerListResponse *response) {
  return request_list("SteamAPI_ISteamMatchmakingServers_RequestFavoritesServerList", ServerList::Favorites, self,
                      app, filters, count, true, response);
}

STEAM_FLAT_API HServerListRequest SteamAPI_ISteamMatchmakingServers_RequestHistoryServerList(
    ISteamMatchmakingServers *self, AppId_t app, MatchMakingKeyValuePair_t **filters, uint32 count,
    ISteamMatchmakingServerListResponse *response) {
  return request_list("SteamAPI_ISteamMatchmakingServers_RequestHistoryServerList", ServerList::History, self, app,
                      filters, count, true, response);
}

STEAM_FLAT_API void SteamAPI_ISteamMatchmakingServers_ReleaseRequest(ISteamMatchmakingServers *self,
                                                                    HServerListRequest request) {
  LogLine line("SteamAPI_ISteamMatchmakingServers_ReleaseRequest");
  line.num("request", reinterpret_cast<std::uintptr_t>(request));
  if (sim().enter(line, self, Interface::MatchmakingServers)) sim().release_request(request);
}

STEAM_FLAT_API gameserveritem_t *SteamAPI_ISteamMatchmakingServers_GetServerDetails(ISteamMatchmakingServers *self,
                                                                                    HServerListRequest request,
                                                                                    int server) {
  LogLine line("SteamAPI_ISteamMatchmakingServers_GetServerDetails");
  line.num("request", reinterpret_cast<std::uintptr_t>(request)).num("server", server);
  if (!sim().enter(line, self, Interface::MatchmakingServers)) return nullptr;
  return sim().server_details(request, server);
}
