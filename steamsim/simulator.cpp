#include "simulator.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

namespace steamsim {

namespace {

// The interface objects the accessors hand out. Only their addresses matter.
struct InterfaceObject {
  char unused;
};
InterfaceObject g_interfaces[6];

constexpr uint8 kRegistered = CCallbackBase::k_ECallbackFlagsRegistered;
constexpr uint8 kGameServer = CCallbackBase::k_ECallbackFlagsGameServer;

const char *event_name(int id) {
  switch (id) {
  case UserStatsReceived_t::k_iCallback: return "UserStatsReceived_t";
  case GameRichPresenceJoinRequested_t::k_iCallback: return "GameRichPresenceJoinRequested_t";
  }
  return "callback";
}

void write_error(SteamErrMsg *err, const std::string &text) {
  if (err == nullptr) return;
  std::strncpy(*err, text.c_str(), sizeof(SteamErrMsg) - 1);
  (*err)[sizeof(SteamErrMsg) - 1] = '\0';
}

bool same_server(const FavoriteEntry &a, const FavoriteEntry &b) {
  return a.app == b.app && a.ip == b.ip && a.conn_port == b.conn_port && a.query_port == b.query_port &&
         a.flags == b.flags;
}

// Whether a server passes the filters of an internet, friends, favourites or
// history request: the "gamedir" must match, "secure" = 1 asks for secure
// servers; other keys are not understood and are ignored.
bool passes(const gameserveritem_t &server, const std::vector<MatchMakingKeyValuePair_t> &filters) {
  for (const auto &filter : filters) {
    const std::string key(filter.m_szKey, strnlen(filter.m_szKey, sizeof(filter.m_szKey)));
    const std::string value(filter.m_szValue, strnlen(filter.m_szValue, sizeof(filter.m_szValue)));
    if (key == "gamedir" && value != server.m_szGameDir) return false;
    if (key == "secure" && value == "1" && !server.m_bSecure) return false;
  }
  return true;
}

} // namespace

Simulator &Simulator::instance() {
  // Never destroyed: the process may still call in while it exits.
  static Simulator *simulator = new Simulator();
  return *simulator;
}

Simulator::Simulator() { reset(); }

void Simulator::reset() {
  restart_log();
  log_.open_from_environment();
  const char *path = std::getenv("STEAMSIM_SCENARIO");
  if (path != nullptr && *path != '\0')
    load_file(path);
  else
    use(Scenario(), true);
}

// Registered callbacks are the caller's live objects and stay registered
// until they unregister; new ones are numbered after them.
void Simulator::restart_log() {
  log_.clear();
  next_label_ = 1;
  for (const auto &r : registrations_) next_label_ = std::max(next_label_, r.label + 1);
}

void Simulator::use(const Scenario &scenario, bool usable) {
  scenario_ = scenario;
  usable_ = usable;
  started_ = false;
  pumps_ = 0;
  events_.clear();
  requests_.clear();
  next_request_ = 1;
  int_stats_ = scenario.int_stats;
  float_stats_ = scenario.float_stats;
  achievements_ = scenario.achievements;
  next_ticket_ = scenario.ticket_first_handle;
  live_tickets_.clear();
  rich_presence_.clear();
  overlay_position_ = k_EPositionBottomRight;
  favorites_ = scenario.favorites;
}

void Simulator::fail_scenario(const std::string &error) {
  std::cerr << "steamsim: " << error << std::endl;
  use(Scenario(), false);
}

bool Simulator::load_text(const std::string &text, const std::string &source) {
  restart_log();
  Scenario scenario;
  std::string error;
  if (!parse_scenario(text, source, scenario, error)) {
    fail_scenario(error);
    return false;
  }
  use(scenario, true);
  return true;
}

bool Simulator::load_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  if (!in || !(text << in.rdbuf())) {
    restart_log();
    fail_scenario(path + "(0): cannot read the file");
    return false;
  }
  return load_text(text.str(), path);
}

bool Simulator::enter(LogLine &line, const void *self, Interface which) {
  const char *refused = nullptr;
  if (!started_)
    refused = "stopped";
  else if (self != interface(which))
    refused = "self";
  if (refused != nullptr) line.raw("refused", refused);
  log_.add(line);
  return refused == nullptr;
}

// --- start-up and the pump --------------------------------------------------

ESteamAPIInitResult Simulator::init(const char *versions, SteamErrMsg *err) {
  if (!usable_) {
    write_error(err, "steamsim: no usable scenario");
    return k_ESteamAPIInitResult_FailedGeneric;
  }
  if (started_) {
    write_error(err, "");
    return k_ESteamAPIInitResult_OK;
  }
  ESteamAPIInitResult result = scenario_.init_result;
  std::string message = scenario_.init_error;
  if (result == k_ESteamAPIInitResult_OK && versions != nullptr) {
    for (const char *v = versions; *v != '\0'; v += std::strlen(v) + 1) {
      if (std::find(scenario_.interfaces.begin(), scenario_.interfaces.end(), v) == scenario_.interfaces.end()) {
        result = k_ESteamAPIInitResult_VersionMismatch;
        message = std::string("No support for interface ") + v;
        break;
      }
    }
  }
  if (result != k_ESteamAPIInitResult_OK && message.empty()) message = "steamsim: the scenario refuses to start";
  write_error(err, result == k_ESteamAPIInitResult_OK ? "" : message);
  if (result == k_ESteamAPIInitResult_OK) {
    started_ = true;
    pumps_ = 0;
    events_.clear();
  }
  return result;
}

void Simulator::shutdown() {
  // The client forgets what belonged to this run of the game; what the
  // Steam client keeps for the user (stats, favourites) stays.
  started_ = false;
  events_.clear();
  requests_.clear();
  live_tickets_.clear();
  rich_presence_.clear();
}

void *Simulator::interface(Interface which) const {
  return started_ ? &g_interfaces[static_cast<int>(which)] : nullptr;
}

template <class Record> void Simulator::queue(const Record &record) {
  Event event{Record::k_iCallback, std::vector<unsigned char>(sizeof(Record))};
  std::memcpy(event.record.data(), &record, sizeof(Record));
  events_.push_back(std::move(event));
}

void Simulator::run_callbacks(std::unique_lock<Mutex> &lock) {
  if (!started_ || pumping_) return;
  pumping_ = true;
  ++pumps_;
  for (const auto &join : scenario_.join_requests) {
    if (join.pump != pumps_) continue;
    GameRichPresenceJoinRequested_t record{};
    record.m_steamIDFriend.SetFromUint64(join.friend_id);
    std::strncpy(record.m_rgchConnect, join.connect.c_str(), sizeof(record.m_rgchConnect) - 1);
    queue(record);
  }

  // What is queued or started while this pump runs waits for the next one.
  std::deque<Event> events;
  events.swap(events_);
  std::vector<std::uintptr_t> lists;
  for (const auto &request : requests_) lists.push_back(request.first);

  for (auto &event : events) {
    if (!started_) break;
    deliver(event, lock);
  }
  for (const auto id : lists) {
    if (!started_) break;
    deliver_results(id, lock);
  }
  pumping_ = false;
}

void Simulator::deliver(Event &event, std::unique_lock<Mutex> &lock) {
  std::vector<Registration> targets;
  for (const auto &r : registrations_)
    if (r.id == event.id) targets.push_back(r);
  for (const auto &target : targets) {
    // A handler may unregister (and free) another callback: check again.
    const bool still = std::any_of(registrations_.begin(), registrations_.end(), [&](const Registration &r) {
      return r.callback == target.callback && r.label == target.label;
    });
    if (!still) continue;
    CCallbackBase *callback = target.callback;
    if ((callback->m_nCallbackFlags & kRegistered) == 0) continue;
    // Game-server callbacks belong to the game server's pump, not this one.
    if ((callback->m_nCallbackFlags & kGameServer) != 0) continue;
    const int size = callback->GetCallbackSizeBytes();
    if (size != static_cast<int>(event.record.size())) {
      std::ostringstream text;
      text << "steamsim: callback " << target.label << " for " << event_name(event.id) << " expects " << size
           << " bytes, the record has " << event.record.size();
      std::cerr << text.str() << std::endl;
      log_.add("=> " + text.str());
      continue;
    }
    LogLine line((std::string("=> ") + event_name(event.id)).c_str());
    line.num("callback", target.label);
    if (event.id == UserStatsReceived_t::k_iCallback) {
      UserStatsReceived_t record;
      std::memcpy(&record, event.record.data(), sizeof(record));
      line.num("game", record.m_nGameID).num("result", static_cast<int>(record.m_eResult));
      line.num("user", record.m_steamIDUser.ConvertToUint64());
    } else if (event.id == GameRichPresenceJoinRequested_t::k_iCallback) {
      GameRichPresenceJoinRequested_t record;
      std::memcpy(&record, event.record.data(), sizeof(record));
      line.num("friend", record.m_steamIDFriend.ConvertToUint64());
      line.str("connect", record.m_rgchConnect, sizeof(record.m_rgchConnect));
    }
    log_.add(line);
    // Both Run overloads do the same; the one-argument form is the one the
    // library uses for callbacks that are not call results. The handler may call
    // back in; the record is this pump's own copy.
    lock.unlock();
    callback->Run(event.record.data());
    lock.lock();
  }
}

void Simulator::deliver_results(std::uintptr_t id, std::unique_lock<Mutex> &lock) {
  int delivered = 0;
  const int limit = scenario_.servers_per_pump;
  const auto handle = reinterpret_cast<HServerListRequest>(id);
  for (;;) {
    // The request may be released by any call into a response object.
    const auto it = requests_.find(id);
    if (it == requests_.end() || it->second.complete || !started_) return;
    Request &request = it->second;
    ISteamMatchmakingServerListResponse *response = request.response;
    if (request.next < request.servers.size()) {
      if (limit > 0 && delivered == limit) return;
      const int server = static_cast<int>(request.next++);
      ++delivered;
      const bool responds = request.servers[server].responds;
      LogLine line(responds ? "=> ServerResponded" : "=> ServerFailedToRespond");
      line.num("request", id).num("server", server);
      log_.add(line);
      lock.unlock();
      if (responds)
        response->ServerResponded(handle, server);
      else
        response->ServerFailedToRespond(handle, server);
      lock.lock();
    } else {
      request.complete = true;
      EMatchMakingServerResponse code = eNoServersListedOnMasterServer;
      if (!request.servers.empty()) {
        const bool any = std::any_of(request.servers.begin(), request.servers.end(),
                                     [](const ScenarioServer &s) { return s.responds; });
        code = any ? eServerResponded : eServerFailedToRespond;
      }
      LogLine line("=> RefreshComplete");
      line.num("request", id).num("response", static_cast<int>(code));
      log_.add(line);
      lock.unlock();
      response->RefreshComplete(handle, code);
      lock.lock();
      return;
    }
  }
}

void Simulator::register_callback(CCallbackBase *callback, int id) {
  if (callback == nullptr) return;
  registrations_.erase(std::remove_if(registrations_.begin(), registrations_.end(),
                                      [&](const Registration &r) { return r.callback == callback; }),
                       registrations_.end());
  registrations_.push_back({callback, id, next_label_++});
  callback->m_iCallback = id;
  callback->m_nCallbackFlags |= kRegistered;
}

void Simulator::unregister_callback(CCallbackBase *callback) {
  const auto it = std::find_if(registrations_.begin(), registrations_.end(),
                               [&](const Registration &r) { return r.callback == callback; });
  if (it == registrations_.end()) return;
  registrations_.erase(it);
  callback->m_nCallbackFlags &= static_cast<uint8>(~kRegistered);
}

std::string Simulator::callback_label(const CCallbackBase *callback) const {
  for (const auto &r : registrations_)
    if (r.callback == callback) return std::to_string(r.label);
  return "unknown";
}

int Simulator::callback_count(int id) const {
  return static_cast<int>(
      std::count_if(registrations_.begin(), registrations_.end(), [&](const Registration &r) { return r.id == id; }));
}

// --- ISteamUser -------------------------------------------------------------

HAuthTicket Simulator::get_ticket(void *buffer, int capacity, uint32 *length) {
  const auto &bytes = scenario_.ticket_bytes;
  if (scenario_.ticket_refuse || buffer == nullptr || capacity < 0 ||
      static_cast<std::size_t>(capacity) < bytes.size())
    return k_HAuthTicketInvalid;
  if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
  if (length != nullptr) *length = static_cast<uint32>(bytes.size());
  HAuthTicket ticket = next_ticket_++;
  if (next_ticket_ == k_HAuthTicketInvalid) next_ticket_ = 1;
  live_tickets_.insert(ticket);
  return ticket;
}

// --- ISteamUserStats --------------------------------------------------------

bool Simulator::request_stats() {
  if (!scenario_.logged_on || !scenario_.stats_request) return false;
  UserStatsReceived_t record{};
  record.m_nGameID = scenario_.app_id;
  record.m_eResult = static_cast<EResult>(scenario_.stats_result);
  record.m_steamIDUser.SetFromUint64(scenario_.steam_id);
  queue(record);
  return true;
}

namespace {
template <class T> bool read_value(const std::map<std::string, T> &values, const char *name, T *out) {
  if (name == nullptr) return false;
  const auto it = values.find(name);
  if (it == values.end()) return false;
  if (out != nullptr) *out = it->second;
  return true;
}
} // namespace

bool Simulator::get_stat(const char *name, int32 *value) const { return read_value(int_stats_, name, value); }
bool Simulator::get_stat(const char *name, float *value) const { return read_value(float_stats_, name, value); }
bool Simulator::get_achievement(const char *name, bool *achieved) const {
  return read_value(achievements_, name, achieved);
}

bool Simulator::set_stat(const char *name, int32 value) {
  if (name == nullptr || float_stats_.count(name) != 0) return false;
  if (int_stats_.count(name) == 0 && !scenario_.accept_unknown) return false;
  int_stats_[name] = value;
  return true;
}

bool Simulator::set_stat(const char *name, float value) {
  if (name == nullptr || int_stats_.count(name) != 0) return false;
  if (float_stats_.count(name) == 0 && !scenario_.accept_unknown) return false;
  float_stats_[name] = value;
  return true;
}

bool Simulator::set_achievement(const char *name, bool achieved) {
  if (name == nullptr) return false;
  if (achievements_.count(name) == 0 && !scenario_.accept_unknown) return false;
  achievements_[name] = achieved;
  return true;
}

// --- ISteamFriends ----------------------------------------------------------

bool Simulator::set_rich_presence(const char *key, const char *value) {
  if (key == nullptr || std::strlen(key) >= static_cast<std::size_t>(k_cchMaxRichPresenceKeyLength)) return false;
  if (value == nullptr || *value == '\0') {
    rich_presence_.erase(key); // an empty value removes the key
    return true;
  }
  if (std::strlen(value) >= static_cast<std::size_t>(k_cchMaxRichPresenceValueLength)) return false;
  if (rich_presence_.count(key) == 0 && rich_presence_.size() >= static_cast<std::size_t>(k_cchMaxRichPresenceKeys))
    return false;
  rich_presence_[key] = value;
  return true;
}

const std::string *Simulator::rich_presence(const std::string &key) const {
  const auto it = rich_presence_.find(key);
  return it != rich_presence_.end() ? &it->second : nullptr;
}

// --- ISteamMatchmaking ------------------------------------------------------

int Simulator::add_favorite(const FavoriteEntry &entry) {
  for (std::size_t i = 0; i < favorites_.size(); ++i) {
    if (same_server(favorites_[i], entry)) {
      favorites_[i].last_played = entry.last_played;
      return static_cast<int>(i);
    }
  }
  favorites_.push_back(entry);
  return static_cast<int>(favorites_.size() - 1);
}

bool Simulator::remove_favorite(const FavoriteEntry &entry) {
  const auto it = std::find_if(favorites_.begin(), favorites_.end(),
                               [&](const FavoriteEntry &e) { return same_server(e, entry); });
  if (it == favorites_.end()) return false;
  favorites_.erase(it);
  return true;
}

const FavoriteEntry *Simulator::favorite(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= favorites_.size()) return nullptr;
  return &favorites_[static_cast<std::size_t>(index)];
}

// --- ISteamMatchmakingServers -----------------------------------------------

HServerListRequest Simulator::request_list(ServerList list, AppId_t app,
                                           const std::vector<MatchMakingKeyValuePair_t> &filters,
                                           ISteamMatchmakingServerListResponse *response) {
  Request request{list, response, {}};
  for (const auto &server : scenario_.servers[static_cast<int>(list)]) {
    // The LAN list is every server on the network; the others ask the
    // master server or the user's lists, by app and filters.
    if (list != ServerList::Lan && (server.item.m_nAppID != app || !passes(server.item, filters))) continue;
    request.servers.push_back(server);
  }
  if (response == nullptr) request.complete = true; // nobody to tell
  const std::uintptr_t id = next_request_++;
  requests_.emplace(id, std::move(request));
  return reinterpret_cast<HServerListRequest>(id);
}

gameserveritem_t *Simulator::server_details(HServerListRequest request, int server) {
  const auto it = requests_.find(request_id(request));
  if (it == requests_.end() || server < 0 || static_cast<std::size_t>(server) >= it->second.servers.size())
    return nullptr;
  ScenarioServer &entry = it->second.servers[static_cast<std::size_t>(server)];
  return entry.details ? &entry.item : nullptr;
}

} // namespace steamsim
