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
InterfaceObject interfaceObjects[6];

constexpr uint8 registeredFlag = CCallbackBase::k_ECallbackFlagsRegistered;
constexpr uint8 gameServerFlag = CCallbackBase::k_ECallbackFlagsGameServer;

const char* eventName(int id) {
    switch (id) {
        case UserStatsReceived_t::k_iCallback: return "UserStatsReceived_t";
        case GameRichPresenceJoinRequested_t::k_iCallback: return "GameRichPresenceJoinRequested_t";
    }
    return "callback";
}

void writeError(SteamErrMsg* err, const std::string& text) {
    if (err == nullptr) return;
    std::strncpy(*err, text.c_str(), sizeof(SteamErrMsg) - 1);
    (*err)[sizeof(SteamErrMsg) - 1] = '\0';
}

bool sameServer(const FavoriteEntry& a, const FavoriteEntry& b) {
    return a.app == b.app && a.ip == b.ip && a.connPort == b.connPort &&
           a.queryPort == b.queryPort && a.flags == b.flags;
}

// Whether a server passes the filters of an internet, friends, favourites or
// history request: the "gamedir" must match, "secure" = 1 asks for secure
// servers; other keys are not understood and are ignored.
bool passes(const gameserveritem_t& server, const std::vector<MatchMakingKeyValuePair_t>& filters) {
    for (const auto& filter : filters) {
        const std::string key(filter.m_szKey, strnlen(filter.m_szKey, sizeof(filter.m_szKey)));
        const std::string value(filter.m_szValue,
                                strnlen(filter.m_szValue, sizeof(filter.m_szValue)));
        if (key == "gamedir" && value != server.m_szGameDir) return false;
        if (key == "secure" && value == "1" && !server.m_bSecure) return false;
    }
    return true;
}

}  // namespace

Simulator& Simulator::instance() {
    // Never destroyed: the process may still call in while it exits.
    static Simulator* simulator = new Simulator();
    return *simulator;
}

Simulator::Simulator() { reset(); }

void Simulator::reset() {
    restartLog();
    log_.openFromEnvironment();
    const char* path = std::getenv("STEAMSIM_SCENARIO");
    if (path != nullptr && *path != '\0')
        loadFile(path);
    else
        use(Scenario(), true);
}

// Registered callbacks are the caller's live objects and stay registered
// until they unregister; new ones are numbered after them.
void Simulator::restartLog() {
    log_.clear();
    nextLabel_ = 1;
    for (const auto& r : registrations_) nextLabel_ = std::max(nextLabel_, r.label + 1);
}

void Simulator::use(const Scenario& scenario, bool usable) {
    scenario_ = scenario;
    usable_ = usable;
    started_ = false;
    pumps_ = 0;
    events_.clear();
    requests_.clear();
    nextRequest_ = 1;
    intStats_ = scenario.intStats;
    floatStats_ = scenario.floatStats;
    achievements_ = scenario.achievements;
    nextTicket_ = scenario.ticketFirstHandle;
    liveTickets_.clear();
    richPresence_.clear();
    overlayPosition_ = k_EPositionBottomRight;
    favorites_ = scenario.favorites;
}

void Simulator::failScenario(const std::string& error) {
    std::cerr << "steamsim: " << error << std::endl;
    use(Scenario(), false);
}

bool Simulator::loadText(const std::string& text, const std::string& source) {
    restartLog();
    Scenario scenario;
    std::string error;
    if (!parseScenario(text, source, scenario, error)) {
        failScenario(error);
        return false;
    }
    use(scenario, true);
    return true;
}

bool Simulator::loadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (!in || !(text << in.rdbuf())) {
        restartLog();
        failScenario(path + "(0): cannot read the file");
        return false;
    }
    return loadText(text.str(), path);
}

bool Simulator::enter(LogLine& line, const void* self, Interface which) {
    const char* refused = nullptr;
    if (!started_)
        refused = "stopped";
    else if (self != interface(which))
        refused = "self";
    if (refused != nullptr) line.raw("refused", refused);
    log_.add(line);
    return refused == nullptr;
}

// --- start-up and the pump --------------------------------------------------

ESteamAPIInitResult Simulator::init(const char* versions, SteamErrMsg* err) {
    if (!usable_) {
        writeError(err, "steamsim: no usable scenario");
        return k_ESteamAPIInitResult_FailedGeneric;
    }
    if (started_) {
        writeError(err, "");
        return k_ESteamAPIInitResult_OK;
    }
    ESteamAPIInitResult result = scenario_.initResult;
    std::string message = scenario_.initError;
    if (result == k_ESteamAPIInitResult_OK && versions != nullptr) {
        for (const char* v = versions; *v != '\0'; v += std::strlen(v) + 1) {
            if (std::find(scenario_.interfaces.begin(), scenario_.interfaces.end(), v) ==
                scenario_.interfaces.end()) {
                result = k_ESteamAPIInitResult_VersionMismatch;
                message = std::string("No support for interface ") + v;
                break;
            }
        }
    }
    if (result != k_ESteamAPIInitResult_OK && message.empty())
        message = "steamsim: the scenario refuses to start";
    writeError(err, result == k_ESteamAPIInitResult_OK ? "" : message);
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
    liveTickets_.clear();
    richPresence_.clear();
}

void* Simulator::interface(Interface which) const {
    return started_ ? &interfaceObjects[static_cast<int>(which)] : nullptr;
}

template <class Record>
void Simulator::queue(const Record& record) {
    Event event{Record::k_iCallback, std::vector<unsigned char>(sizeof(Record))};
    std::memcpy(event.record.data(), &record, sizeof(Record));
    events_.push_back(std::move(event));
}

void Simulator::runCallbacks(std::unique_lock<Mutex>& lock) {
    if (!started_ || pumping_) return;
    pumping_ = true;
    ++pumps_;
    for (const auto& join : scenario_.joinRequests) {
        if (join.pump != pumps_) continue;
        GameRichPresenceJoinRequested_t record{};
        record.m_steamIDFriend.SetFromUint64(join.friendId);
        std::strncpy(record.m_rgchConnect, join.connect.c_str(), sizeof(record.m_rgchConnect) - 1);
        queue(record);
    }

    // What is queued or started while this pump runs waits for the next one.
    std::deque<Event> events;
    events.swap(events_);
    std::vector<std::uintptr_t> lists;
    for (const auto& request : requests_) lists.push_back(request.first);

    for (auto& event : events) {
        if (!started_) break;
        deliver(event, lock);
    }
    for (const auto id : lists) {
        if (!started_) break;
        deliverResults(id, lock);
    }
    pumping_ = false;
}

void Simulator::deliver(Event& event, std::unique_lock<Mutex>& lock) {
    std::vector<Registration> targets;
    for (const auto& r : registrations_)
        if (r.id == event.id) targets.push_back(r);
    for (const auto& target : targets) {
        // A handler may unregister (and free) another callback: check again.
        const bool still =
            std::any_of(registrations_.begin(), registrations_.end(), [&](const Registration& r) {
                return r.callback == target.callback && r.label == target.label;
            });
        if (!still) continue;
        CCallbackBase* callback = target.callback;
        if ((callback->m_nCallbackFlags & registeredFlag) == 0) continue;
        // Game-server callbacks belong to the game server's pump, not this one.
        if ((callback->m_nCallbackFlags & gameServerFlag) != 0) continue;
        const int size = callback->GetCallbackSizeBytes();
        if (size != static_cast<int>(event.record.size())) {
            std::ostringstream text;
            text << "steamsim: callback " << target.label << " for " << eventName(event.id)
                 << " expects " << size << " bytes, the record has " << event.record.size();
            std::cerr << text.str() << std::endl;
            log_.add("=> " + text.str());
            continue;
        }
        LogLine line((std::string("=> ") + eventName(event.id)).c_str());
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

void Simulator::deliverResults(std::uintptr_t id, std::unique_lock<Mutex>& lock) {
    int delivered = 0;
    const int limit = scenario_.serversPerPump;
    const auto handle = reinterpret_cast<HServerListRequest>(id);
    for (;;) {
        // The request may be released by any call into a response object.
        const auto it = requests_.find(id);
        if (it == requests_.end() || it->second.complete || !started_) return;
        Request& request = it->second;
        ISteamMatchmakingServerListResponse* response = request.response;
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
                                             [](const ScenarioServer& s) { return s.responds; });
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

void Simulator::registerCallback(CCallbackBase* callback, int id) {
    if (callback == nullptr) return;
    registrations_.erase(
        std::remove_if(registrations_.begin(), registrations_.end(),
                       [&](const Registration& r) { return r.callback == callback; }),
        registrations_.end());
    registrations_.push_back({callback, id, nextLabel_++});
    callback->m_iCallback = id;
    callback->m_nCallbackFlags |= registeredFlag;
}

void Simulator::unregisterCallback(CCallbackBase* callback) {
    const auto it = std::find_if(registrations_.begin(), registrations_.end(),
                                 [&](const Registration& r) { return r.callback == callback; });
    if (it == registrations_.end()) return;
    registrations_.erase(it);
    callback->m_nCallbackFlags &= static_cast<uint8>(~registeredFlag);
}

std::string Simulator::callbackLabel(const CCallbackBase* callback) const {
    for (const auto& r : registrations_)
        if (r.callback == callback) return std::to_string(r.label);
    return "unknown";
}

int Simulator::callbackCount(int id) const {
    return static_cast<int>(std::count_if(registrations_.begin(), registrations_.end(),
                                          [&](const Registration& r) { return r.id == id; }));
}

// --- ISteamUser -------------------------------------------------------------

HAuthTicket Simulator::getTicket(void* buffer, int capacity, uint32* length) {
    const auto& bytes = scenario_.ticketBytes;
    if (scenario_.ticketRefuse || buffer == nullptr || capacity < 0 ||
        static_cast<std::size_t>(capacity) < bytes.size())
        return k_HAuthTicketInvalid;
    if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
    if (length != nullptr) *length = static_cast<uint32>(bytes.size());
    HAuthTicket ticket = nextTicket_++;
    if (nextTicket_ == k_HAuthTicketInvalid) nextTicket_ = 1;
    liveTickets_.insert(ticket);
    return ticket;
}

// --- ISteamUserStats --------------------------------------------------------

bool Simulator::requestStats() {
    if (!scenario_.loggedOn || !scenario_.statsRequest) return false;
    UserStatsReceived_t record{};
    record.m_nGameID = scenario_.appId;
    record.m_eResult = static_cast<EResult>(scenario_.statsResult);
    record.m_steamIDUser.SetFromUint64(scenario_.steamId);
    queue(record);
    return true;
}

namespace {
template <class T>
bool readValue(const std::map<std::string, T>& values, const char* name, T* out) {
    if (name == nullptr) return false;
    const auto it = values.find(name);
    if (it == values.end()) return false;
    if (out != nullptr) *out = it->second;
    return true;
}
}  // namespace

bool Simulator::getStat(const char* name, int32* value) const {
    return readValue(intStats_, name, value);
}
bool Simulator::getStat(const char* name, float* value) const {
    return readValue(floatStats_, name, value);
}
bool Simulator::getAchievement(const char* name, bool* achieved) const {
    return readValue(achievements_, name, achieved);
}

bool Simulator::setStat(const char* name, int32 value) {
    if (name == nullptr || floatStats_.count(name) != 0) return false;
    if (intStats_.count(name) == 0 && !scenario_.acceptUnknown) return false;
    intStats_[name] = value;
    return true;
}

bool Simulator::setStat(const char* name, float value) {
    if (name == nullptr || intStats_.count(name) != 0) return false;
    if (floatStats_.count(name) == 0 && !scenario_.acceptUnknown) return false;
    floatStats_[name] = value;
    return true;
}

bool Simulator::setAchievement(const char* name, bool achieved) {
    if (name == nullptr) return false;
    if (achievements_.count(name) == 0 && !scenario_.acceptUnknown) return false;
    achievements_[name] = achieved;
    return true;
}

// --- ISteamFriends ----------------------------------------------------------

bool Simulator::setRichPresence(const char* key, const char* value) {
    if (key == nullptr ||
        std::strlen(key) >= static_cast<std::size_t>(k_cchMaxRichPresenceKeyLength))
        return false;
    if (value == nullptr || *value == '\0') {
        richPresence_.erase(key);  // an empty value removes the key
        return true;
    }
    if (std::strlen(value) >= static_cast<std::size_t>(k_cchMaxRichPresenceValueLength))
        return false;
    if (richPresence_.count(key) == 0 &&
        richPresence_.size() >= static_cast<std::size_t>(k_cchMaxRichPresenceKeys))
        return false;
    richPresence_[key] = value;
    return true;
}

const std::string* Simulator::richPresence(const std::string& key) const {
    const auto it = richPresence_.find(key);
    return it != richPresence_.end() ? &it->second : nullptr;
}

// --- ISteamMatchmaking ------------------------------------------------------

int Simulator::addFavorite(const FavoriteEntry& entry) {
    for (std::size_t i = 0; i < favorites_.size(); ++i) {
        if (sameServer(favorites_[i], entry)) {
            favorites_[i].lastPlayed = entry.lastPlayed;
            return static_cast<int>(i);
        }
    }
    favorites_.push_back(entry);
    return static_cast<int>(favorites_.size() - 1);
}

bool Simulator::removeFavorite(const FavoriteEntry& entry) {
    const auto it = std::find_if(favorites_.begin(), favorites_.end(),
                                 [&](const FavoriteEntry& e) { return sameServer(e, entry); });
    if (it == favorites_.end()) return false;
    favorites_.erase(it);
    return true;
}

const FavoriteEntry* Simulator::favorite(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= favorites_.size()) return nullptr;
    return &favorites_[static_cast<std::size_t>(index)];
}

// --- ISteamMatchmakingServers -----------------------------------------------

HServerListRequest Simulator::requestList(ServerList list, AppId_t app,
                                          const std::vector<MatchMakingKeyValuePair_t>& filters,
                                          ISteamMatchmakingServerListResponse* response) {
    Request request{list, response, {}};
    for (const auto& server : scenario_.servers[static_cast<int>(list)]) {
        // The LAN list is every server on the network; the others ask the
        // master server or the user's lists, by app and filters.
        if (list != ServerList::lan &&
            (server.item.m_nAppID != app || !passes(server.item, filters)))
            continue;
        request.servers.push_back(server);
    }
    if (response == nullptr) request.complete = true;  // nobody to tell
    const std::uintptr_t id = nextRequest_++;
    requests_.emplace(id, std::move(request));
    return reinterpret_cast<HServerListRequest>(id);
}

gameserveritem_t* Simulator::serverDetails(HServerListRequest request, int server) {
    const auto it = requests_.find(requestId(request));
    if (it == requests_.end() || server < 0 ||
        static_cast<std::size_t>(server) >= it->second.servers.size())
        return nullptr;
    ScenarioServer& entry = it->second.servers[static_cast<std::size_t>(server)];
    return entry.details ? &entry.item : nullptr;
}

}  // namespace steamsim
