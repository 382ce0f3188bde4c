#include "scenario.h"
#include "float_text.h"

#include <boost/property_tree/ini_parser.hpp>
#include <boost/property_tree/ptree.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>
#include <sstream>

namespace steamsim {

namespace pt = boost::property_tree;

const char* serverListName(ServerList list) {
    switch (list) {
        case ServerList::internet: return "internet";
        case ServerList::lan: return "lan";
        case ServerList::friends: return "friends";
        case ServerList::favorites: return "favorites";
        case ServerList::history: return "history";
    }
    return "?";
}

// The Steam client supports the interfaces of every library generation: SDK 1.58
// to 1.60 ask for the first six, 1.61 for two newer ones, 1.65 for two more, and a
// newer library has SteamUtils012 (SDK 1.57 and older ask for none).
Scenario::Scenario()
    : interfaces{"SteamUser023",
                 "STEAMUSERSTATS_INTERFACE_VERSION012",
                 "SteamFriends017",
                 "SteamUtils010",
                 "SteamMatchMaking009",
                 "SteamMatchMakingServers002",
                 "SteamUser021",
                 "STEAMUSERSTATS_INTERFACE_VERSION013",
                 "SteamFriends018",
                 "SteamUtils011",
                 "SteamMatchMakingServers003",
                 "SteamUtils012"} {
    // The default ticket: 234 bytes 01 02 03 ...
    ticketBytes.resize(234);
    for (std::size_t i = 0; i < ticketBytes.size(); ++i)
        ticketBytes[i] = static_cast<unsigned char>(i + 1);
}

namespace {

// A scenario fault, with the line it was found on.
struct Fault {
    int line;
    std::string reason;
};

std::string trim(const std::string& s) {
    const auto begin = s.find_first_not_of(" \t\r");
    if (begin == std::string::npos) return "";
    const auto end = s.find_last_not_of(" \t\r");
    return s.substr(begin, end - begin + 1);
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

class Reader {
public:
    explicit Reader(const std::string& text) {
        std::istringstream in(text);
        std::string line;
        std::string section;
        int number = 0;
        while (std::getline(in, line)) {
            ++number;
            const std::string t = trim(line);
            if (t.empty() || t[0] == ';' || t[0] == '#') continue;
            if (t[0] == '[') {
                section = trim(t.substr(1, t.find(']') - 1));
                lines_.emplace(std::make_pair(section, std::string()), number);
                sections_.emplace_back(section, number);
            } else if (const auto eq = t.find('='); eq != std::string::npos) {
                lines_.emplace(std::make_pair(section, trim(t.substr(0, eq))), number);
            }
        }
    }

    // The line of a key in a section, or of the section header for an empty key.
    int lineOf(const std::string& section, const std::string& key = "") const {
        const auto it = lines_.find({section, key});
        return it != lines_.end() ? it->second : 0;
    }

    // Every section header with its line, empty sections included (the INI
    // reader drops those).
    const std::vector<std::pair<std::string, int>>& sections() const { return sections_; }

private:
    std::map<std::pair<std::string, std::string>, int> lines_;
    std::vector<std::pair<std::string, int>> sections_;
};

// One section being read: values are converted with their line at hand.
class Section {
public:
    Section(const Reader& reader, const std::string& name, const pt::ptree& tree)
        : reader_(reader), name_(name), tree_(tree) {}

    const std::string& name() const { return name_; }
    int headerLine() const { return reader_.lineOf(name_); }
    const pt::ptree& tree() const { return tree_; }

    [[noreturn]] void fail(const std::string& key, const std::string& reason) const {
        throw Fault{reader_.lineOf(name_, key), reason};
    }

    void allow(std::initializer_list<const char*> keys) const {
        for (const auto& entry : tree_) {
            if (std::none_of(keys.begin(), keys.end(),
                             [&](const char* k) { return entry.first == k; }))
                fail(entry.first, "unknown key '" + entry.first + "' in [" + name_ + "]");
        }
    }

    bool has(const char* key) const { return tree_.find(key) != tree_.not_found(); }
    std::string text(const char* key) const { return tree_.get<std::string>(key); }

    bool boolean(const std::string& key, const std::string& value) const {
        const std::string v = lower(value);
        if (v == "true" || v == "yes" || v == "on" || v == "1") return true;
        if (v == "false" || v == "no" || v == "off" || v == "0") return false;
        fail(key, "'" + value + "' is not a boolean (true or false)");
    }
    void read(const char* key, bool& out) const {
        if (has(key)) out = boolean(key, text(key));
    }

    template <class T>
    T integer(const std::string& key, const std::string& value) const {
        T result{};
        const char* begin = value.data();
        const char* end = begin + value.size();
        const auto parsed = std::from_chars(begin, end, result);
        if (parsed.ec == std::errc::result_out_of_range)
            fail(key, "'" + value + "' is out of range");
        if (parsed.ec != std::errc() || parsed.ptr != end || value.empty())
            fail(key, "'" + value + "' is not an integer");
        return result;
    }
    template <class T>
    void read(const char* key, T& out) const {
        if (has(key)) out = integer<T>(key, text(key));
    }
    // Several keys at once, each followed by its field: read("a", out.a, "b", out.b).
    template <class T, class... More>
    void read(const char* key, T& out, const char* nextKey, More&... more) const {
        read(key, out);
        read(nextKey, more...);
    }

    float real(const std::string& key, const std::string& value) const {
        float result = 0;
        if (!parseFloat(value, result)) fail(key, "'" + value + "' is not a number");
        return result;
    }

    // An IPv4 address: dotted ("192.168.1.20") or one decimal number.
    uint32 ip(const char* key) const {
        const std::string value = text(key);
        if (value.find('.') == std::string::npos) return integer<uint32>(key, value);
        uint32 result = 0;
        std::istringstream parts(value);
        std::string part;
        int count = 0;
        while (std::getline(parts, part, '.')) {
            if (++count > 4) break;
            result = (result << 8) | integer<uint8>(key, part);
        }
        if (count != 4) fail(key, "'" + value + "' is not an IPv4 address");
        return result;
    }

    // Text for a fixed field of `size` bytes, NUL included.
    void field(const char* key, char* out, std::size_t size) const {
        if (!has(key)) return;
        const std::string value = text(key);
        if (value.size() >= size)
            fail(key, "'" + std::string(key) + "' is longer than " + std::to_string(size - 1) +
                          " characters");
        std::memcpy(out, value.c_str(), value.size() + 1);
    }

    std::vector<unsigned char> hex(const char* key) const {
        std::string digits;
        for (char c : text(key)) {
            if (std::isxdigit(static_cast<unsigned char>(c)))
                digits += c;
            else if (c != ' ' && c != '\t' && c != ':')
                fail(key, "'data' holds a character that is not a hex digit");
        }
        if (digits.size() % 2 != 0) fail(key, "'data' has an odd number of hex digits");
        std::vector<unsigned char> bytes;
        for (std::size_t i = 0; i < digits.size(); i += 2)
            bytes.push_back(
                static_cast<unsigned char>(std::stoi(digits.substr(i, 2), nullptr, 16)));
        return bytes;
    }

private:
    const Reader& reader_;
    std::string name_;
    const pt::ptree& tree_;
};

ESteamAPIInitResult readInitResult(const Section& s) {
    const std::string v = lower(s.text("init"));
    if (v == "ok" || v == "0") return k_ESteamAPIInitResult_OK;
    if (v == "failed" || v == "1") return k_ESteamAPIInitResult_FailedGeneric;
    if (v == "no_client" || v == "2") return k_ESteamAPIInitResult_NoSteamClient;
    if (v == "version_mismatch" || v == "3") return k_ESteamAPIInitResult_VersionMismatch;
    s.fail("init", "'init' must be ok, failed, no_client or version_mismatch");
}

void readSteam(const Section& s, Scenario& out) {
    s.allow({"init", "error", "interfaces", "restart", "logged_on", "steam_id", "app_id",
             "overlay_needs_present"});
    if (s.has("init")) out.initResult = readInitResult(s);
    if (s.has("error")) out.initError = s.text("error");
    if (s.has("interfaces")) {
        out.interfaces.clear();
        std::istringstream list(s.text("interfaces"));
        std::string version;
        while (std::getline(list, version, ','))
            if (!trim(version).empty()) out.interfaces.push_back(trim(version));
    }
    s.read("restart", out.restart, "logged_on", out.loggedOn, "steam_id", out.steamId, "app_id",
           out.appId, "overlay_needs_present", out.overlayNeedsPresent);
}

void readStats(const Section& s, Scenario& out) {
    s.allow({"request", "result", "store", "accept_unknown"});
    s.read("request", out.statsRequest, "result", out.statsResult, "store", out.storeStats,
           "accept_unknown", out.acceptUnknown);
}

void readTicket(const Section& s, Scenario& out) {
    s.allow({"refuse", "first_handle", "data", "length"});
    s.read("refuse", out.ticketRefuse, "first_handle", out.ticketFirstHandle);
    if (out.ticketFirstHandle == k_HAuthTicketInvalid)
        s.fail("first_handle", "'first_handle' must not be 0");
    if (s.has("data")) out.ticketBytes = s.hex("data");
    if (s.has("length")) {
        const auto length = s.integer<uint32>("length", s.text("length"));
        if (s.has("data") && length > out.ticketBytes.size())
            s.fail("length", "'length' is longer than 'data'");
        if (!s.has("data")) {
            out.ticketBytes.resize(length);
            for (uint32 i = 0; i < length; ++i)
                out.ticketBytes[i] = static_cast<unsigned char>(i + 1);
        } else {
            out.ticketBytes.resize(length);
        }
    }
}

// The N of "<prefix>.N".
int ordinal(const std::string& name, const std::string& prefix, int line) {
    const std::string n = name.substr(prefix.size() + 1);
    int value = 0;
    const auto parsed = std::from_chars(n.data(), n.data() + n.size(), value);
    if (n.empty() || parsed.ec != std::errc() || parsed.ptr != n.data() + n.size())
        throw Fault{line, "section [" + name + "] must end in a number"};
    return value;
}
int ordinal(const Section& s, const std::string& prefix) {
    return ordinal(s.name(), prefix, s.headerLine());
}

ScenarioJoinRequest readJoin(const Section& s) {
    s.allow({"friend", "connect", "pump"});
    ScenarioJoinRequest join;
    s.read("friend", join.friendId);
    if (s.has("connect")) {
        join.connect = s.text("connect");
        if (join.connect.size() >= static_cast<std::size_t>(k_cchMaxRichPresenceValueLength))
            s.fail("connect", "'connect' is longer than 255 characters");
    }
    s.read("pump", join.pump);
    if (join.pump < 1) s.fail("pump", "'pump' must be 1 or more");
    return join;
}

ScenarioServer readServer(const Section& s, bool& hasApp) {
    s.allow({"name",    "ip",          "port",     "query_port",  "app_id",
             "players", "max_players", "bots",     "ping",        "password",
             "secure",  "gamedir",     "map",      "description", "tags",
             "version", "last_played", "steam_id", "responds",    "do_not_refresh",
             "details"});
    ScenarioServer server;
    gameserveritem_t& item = server.item;
    uint16 port = 0;
    s.read("port", port);
    uint16 queryPort = port;
    s.read("query_port", queryPort);
    item.m_NetAdr.Init(s.has("ip") ? s.ip("ip") : 0, queryPort, port);
    hasApp = s.has("app_id");
    s.read("app_id", item.m_nAppID);
    s.read("players", item.m_nPlayers);
    s.read("max_players", item.m_nMaxPlayers);
    s.read("bots", item.m_nBotPlayers);
    s.read("ping", item.m_nPing);
    s.read("password", item.m_bPassword);
    s.read("secure", item.m_bSecure);
    s.read("do_not_refresh", item.m_bDoNotRefresh);
    s.read("version", item.m_nServerVersion);
    s.read("last_played", item.m_ulTimeLastPlayed);
    uint64 id = 0;
    s.read("steam_id", id);
    item.m_steamID.SetFromUint64(id);
    s.field("name", item.m_szServerName, sizeof(item.m_szServerName));
    s.field("gamedir", item.m_szGameDir, sizeof(item.m_szGameDir));
    s.field("map", item.m_szMap, sizeof(item.m_szMap));
    s.field("description", item.m_szGameDescription, sizeof(item.m_szGameDescription));
    s.field("tags", item.m_szGameTags, sizeof(item.m_szGameTags));
    s.read("responds", server.responds);
    s.read("details", server.details);
    item.m_bHadSuccessfulResponse = server.responds;
    return server;
}

FavoriteEntry readFavorite(const Section& s, bool& hasApp) {
    s.allow({"app_id", "ip", "port", "query_port", "flags", "last_played"});
    FavoriteEntry entry;
    hasApp = s.has("app_id");
    s.read("app_id", entry.app);
    if (s.has("ip")) entry.ip = s.ip("ip");
    s.read("port", entry.connPort);
    entry.queryPort = entry.connPort;
    s.read("query_port", entry.queryPort);
    entry.flags = k_unFavoriteFlagFavorite;
    s.read("flags", entry.flags);
    s.read("last_played", entry.lastPlayed);
    return entry;
}

bool startsWith(const std::string& s, const std::string& prefix) {
    return s.size() > prefix.size() && s.compare(0, prefix.size(), prefix) == 0 &&
           s[prefix.size()] == '.';
}

// Names every section header, so that a misspelt empty one is found too.
void checkSections(const Reader& reader) {
    static const char* const fixed[] = {"steam",        "stats",  "stats.int", "stats.float",
                                        "achievements", "ticket", "servers"};
    for (const auto& [name, line] : reader.sections()) {
        if (std::find(std::begin(fixed), std::end(fixed), name) != std::end(fixed)) continue;
        std::vector<std::string> numbered = {"join", "favorites"};
        for (int i = 0; i < serverListCount; ++i)
            numbered.push_back(std::string("servers.") +
                               serverListName(static_cast<ServerList>(i)));
        const auto prefix = std::find_if(numbered.begin(), numbered.end(),
                                         [&](const std::string& p) { return startsWith(name, p); });
        if (prefix == numbered.end()) throw Fault{line, "unknown section [" + name + "]"};
        ordinal(name, *prefix, line);
    }
}

void readAll(const pt::ptree& root, const Reader& reader, Scenario& out) {
    checkSections(reader);
    std::map<int, ScenarioJoinRequest> joins;
    std::array<std::map<int, std::pair<ScenarioServer, bool>>, serverListCount> servers;
    std::map<int, std::pair<FavoriteEntry, bool>> favorites;

    for (const auto& entry : root) {
        const std::string& name = entry.first;
        if (entry.second.empty() && !entry.second.data().empty())
            throw Fault{reader.lineOf("", name), "key '" + name + "' is outside a section"};
        const Section s(reader, name, entry.second);
        if (name == "steam") {
            readSteam(s, out);
        } else if (name == "stats") {
            readStats(s, out);
        } else if (name == "stats.int") {
            for (const auto& stat : entry.second)
                out.intStats[stat.first] = s.integer<int32>(stat.first, stat.second.data());
        } else if (name == "stats.float") {
            for (const auto& stat : entry.second)
                out.floatStats[stat.first] = s.real(stat.first, stat.second.data());
        } else if (name == "achievements") {
            for (const auto& ach : entry.second)
                out.achievements[ach.first] = s.boolean(ach.first, ach.second.data());
        } else if (name == "ticket") {
            readTicket(s, out);
        } else if (name == "servers") {
            s.allow({"per_pump"});
            s.read("per_pump", out.serversPerPump);
            if (out.serversPerPump < 0) s.fail("per_pump", "'per_pump' must not be negative");
        } else if (startsWith(name, "join")) {
            joins[ordinal(s, "join")] = readJoin(s);
        } else if (startsWith(name, "favorites")) {
            bool hasApp = false;
            FavoriteEntry fav = readFavorite(s, hasApp);
            favorites[ordinal(s, "favorites")] = {fav, hasApp};
        } else {
            bool known = false;
            for (int i = 0; i < serverListCount && !known; ++i) {
                const std::string prefix =
                    std::string("servers.") + serverListName(static_cast<ServerList>(i));
                if (!startsWith(name, prefix)) continue;
                known = true;
                bool hasApp = false;
                ScenarioServer server = readServer(s, hasApp);
                servers[i][ordinal(s, prefix)] = {server, hasApp};
            }
            if (!known) throw Fault{reader.lineOf(name), "unknown section [" + name + "]"};
        }
    }

    for (auto& join : joins) out.joinRequests.push_back(join.second);
    for (int i = 0; i < serverListCount; ++i) {
        for (auto& server : servers[i]) {
            if (!server.second.second) server.second.first.item.m_nAppID = out.appId;
            out.servers[i].push_back(server.second.first);
        }
    }
    for (auto& fav : favorites) {
        if (!fav.second.second) fav.second.first.app = out.appId;
        out.favorites.push_back(fav.second.first);
    }
}

}  // namespace

bool parseScenario(const std::string& text, const std::string& source, Scenario& out,
                   std::string& error) {
    Scenario scenario;
    try {
        std::istringstream in(text);
        pt::ptree root;
        pt::read_ini(in, root);
        const Reader reader(text);
        readAll(root, reader, scenario);
    } catch (const pt::ini_parser_error& e) {
        error = source + "(" + std::to_string(e.line()) + "): " + e.message();
        return false;
    } catch (const Fault& fault) {
        error = source + "(" + std::to_string(fault.line) + "): " + fault.reason;
        return false;
    } catch (const std::exception& e) {
        error = source + "(0): " + e.what();
        return false;
    }
    out = scenario;
    return true;
}

}  // namespace steamsim
