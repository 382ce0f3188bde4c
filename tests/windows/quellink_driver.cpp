// Loads Quellink.dll the way the JVM does (by full path, from the game's
// nativelibs directory) and calls its exports with the fake JNI environment.
//
//   quellink_driver simulator G   steam_api64.dll is the simulated Steam client
//                                 of generation G (1.57, 1.60 or 1.61): a
//                                 handful of exports, checked against their
//                                 results, the fake JNI log and the call log
//   quellink_driver valve         steam_api64.dll is Valve's (any generation):
//                                 the library loads, so every import resolves,
//                                 and without a Steam client the start fails
//                                 cleanly
//
// The program expects to lie in game\, the executable's directory, with
// Quellink.dll in game\nativelibs\ and steam_api64.dll wherever the test put
// it. Before loading, like the launcher, it registers another directory with
// SetDllDirectoryA. Prints one line per check, "PASS <name>" or
// "FAIL <name>: <detail>"; the exit status is the number of failures.
#include <windows.h>

#include <jni.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fake_jni.h"

namespace {

int failures = 0;

void check(bool passed, const std::string& name, const std::string& detail = "") {
    if (passed) {
        std::printf("PASS %s\n", name.c_str());
    } else {
        std::printf("FAIL %s: %s\n", name.c_str(), detail.c_str());
        ++failures;
    }
    std::fflush(stdout);
}

std::string directoryOf(const std::string& path) {
    const std::size_t end = path.find_last_of("\\/");
    return end == std::string::npos ? path : path.substr(0, end);
}

std::string ownDirectory() {
    std::vector<char> path(32768);
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    return directoryOf(std::string(path.data(), length));
}

bool logHas(const std::string& text, const std::string& line) {
    return text.find(line + "\n") != std::string::npos;
}

bool fakeLogHas(const std::string& prefix) {
    const auto& log = fakejni::callLog();
    return std::any_of(log.begin(), log.end(),
                       [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
}

template <typename Function>
Function exportOf(HMODULE library, const char* method) {
    const std::string name = std::string("Java_Pellux_Steam_1api_") + method;
    auto address =
        reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name.c_str())));
    check(address != nullptr, std::string("export ") + method);
    return address;
}

// The simulator's control API, found in the steam_api64.dll that Quellink
// loaded.
struct Simulator {
    bool (*loadScenarioText)(const char*);
    const char* (*callLog)();
    const char* (*richPresence)(const char*);
    int (*favoriteCount)();
};

template <typename Function>
void resolve(HMODULE module, const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (function == nullptr) {
        std::printf("FAIL simulator control function %s missing\n", name);
        std::exit(100);
    }
}

const char* const scenario =
    "[steam]\n"
    "steam_id = 76561197960287930\n"
    "app_id = 480\n"
    "[stats.int]\n"
    "Kills = 12\n"
    "[ticket]\n"
    "first_handle = 7\n"
    "data = 14 00 00 00 a1 b2\n"
    "length = 6\n"
    "[servers.lan.1]\n"
    "name = Harbour LAN\n"
    "ip = 192.168.1.20\n"
    "port = 27016\n"
    "query_port = 27017\n"
    "players = 3\n"
    "max_players = 16\n"
    "ping = 42\n"
    "tags = pvp,eu\n";

void driveSimulator(HMODULE quellink, const std::string& generation) {
    HMODULE steam = GetModuleHandleA("steam_api64.dll");
    check(steam != nullptr, "Quellink brought steam_api64.dll in");
    if (steam == nullptr) return;
    Simulator sim{};
    resolve(steam, "steamsim_load_scenario_text", sim.loadScenarioText);
    resolve(steam, "steamsim_call_log", sim.callLog);
    resolve(steam, "steamsim_rich_presence", sim.richPresence);
    resolve(steam, "steamsim_favorite_count", sim.favoriteCount);
    check(sim.loadScenarioText(scenario), "scenario accepted");

    JNIEnv* env = fakejni::env();
    jobject api = fakejni::makeInstance("Pellux/Steam_api");

    using Boolean = jboolean(JNICALL*)(JNIEnv*, jobject);
    using Void = void(JNICALL*)(JNIEnv*, jobject);
    auto init = exportOf<Boolean>(quellink, "SteamAPI_1Init");
    auto loggedOn = exportOf<Boolean>(quellink, "IsSteamUserLoggedOn");
    auto steamId = exportOf<jstring(JNICALL*)(JNIEnv*, jobject)>(quellink, "GetCSteamIDString");
    auto getStat = exportOf<jint(JNICALL*)(JNIEnv*, jobject, jstring)>(quellink, "GetStatInt");
    auto ticket = exportOf<jobject(JNICALL*)(JNIEnv*, jobject)>(quellink, "GetAuthSessionTicket");
    auto presence =
        exportOf<void(JNICALL*)(JNIEnv*, jobject, jint, jshort, jshort, jboolean, jstring)>(
            quellink, "UpdateRichPresenceConnectionInfo");
    auto addFavorite = exportOf<jint(JNICALL*)(JNIEnv*, jobject, jlong, jint, jint, jlong)>(
        quellink, "AddFavoriteServer");
    auto requestStats = exportOf<Boolean>(quellink, "RequestCurrentStats");
    auto createCallback = exportOf<Void>(quellink, "CreateCallback");
    auto deleteCallback = exportOf<Void>(quellink, "DeleteCallback");
    auto requestLan = exportOf<jlong(JNICALL*)(JNIEnv*, jobject)>(quellink, "RequestLANServerList");
    auto runCallbacks = exportOf<Void>(quellink, "SteamAPI_1RunCallbacks");
    auto shutDown = exportOf<Void>(quellink, "SteamAPI_1ShutDown");
    if (failures > 0) return;

    check(loggedOn(env, api) == JNI_FALSE, "logged-on state is false before the start");
    check(init(env, api) == JNI_TRUE, "SteamAPI_Init starts the simulator");
    check(loggedOn(env, api) == JNI_TRUE, "logged on after the start");

    const fakejni::Object* id = fakejni::inspect(steamId(env, api));
    check(id != nullptr && id->text == "76561197960287930", "Steam ID as decimal text",
          id != nullptr ? id->text : "null");

    check(getStat(env, api, fakejni::makeString("Kills")) == 12, "GetStatInt reads the stat");

    const fakejni::Object* made = fakejni::inspect(ticket(env, api));
    const bool ticketMade = made != nullptr && made->constructorArguments.size() == 3;
    check(ticketMade && made->className == "com/zarnhall/client/steam/SteamAuthTicket" &&
              made->constructorArguments[0] == "7" &&
              made->constructorArguments[1] == "byte[1024]" && made->constructorArguments[2] == "6",
          "GetAuthSessionTicket builds SteamAuthTicket(7, byte[1024], 6)",
          ticketMade ? made->constructorArguments[0] + " " + made->constructorArguments[1] + " " +
                           made->constructorArguments[2]
                     : "no object");

    presence(env, api, static_cast<jint>(0xC0A80114u), static_cast<jshort>(27016),
             static_cast<jshort>(27017), JNI_TRUE, fakejni::makeString("1.0"));
    const char* connect = sim.richPresence("connect");
    check(connect != nullptr && std::string(connect).rfind("+connect 3232235796:27016", 0) == 0,
          "rich presence connect text", connect != nullptr ? connect : "null");

    check(addFavorite(env, api, 0xC0A80114LL, 27016, 27017, 1700000000) == 0 &&
              sim.favoriteCount() == 1,
          "AddFavoriteServer adds the first entry");

    createCallback(env, api);
    // Queued by Steam, or posted by the bridge where Steam has no RequestCurrentStats.
    check(requestStats(env, api) == JNI_TRUE, "RequestCurrentStats is true");
    const jlong request = requestLan(env, api);
    check(request != 0, "RequestLANServerList returns a handle");
    runCallbacks(env, api);
    check(fakeLogHas("CallVoidMethod Pellux/Steam_api.ServerResponded(\"Harbour LAN\", "
                     "\"192.168.1.20:27016\", 3232235796, 27016, 3, 16, false, 42, "),
          "ServerResponded reaches the registered object");
    check(fakeLogHas("CallVoidMethod Pellux/Steam_api.RefreshComplete()"),
          "RefreshComplete reaches the registered object");
    check(fakeLogHas("CallVoidMethod Pellux/Steam_api.UserStatsReceived_t()"),
          "UserStatsReceived_t reaches the registered object");
    deleteCallback(env, api);
    shutDown(env, api);
    check(loggedOn(env, api) == JNI_FALSE, "logged-on state is false after the shutdown");

    const std::string log = sim.callLog();
    check(logHas(log, "SteamAPI_ISteamUserStats_GetStatInt32 name=\"Kills\""),
          "call log: stat read", log);
    // SDK 1.57 and older: the function takes no identity, and Quellink passes none.
    const std::string identity = generation == "1.57" ? "" : " identity=null";
    check(
        logHas(log, "SteamAPI_ISteamUser_GetAuthSessionTicket ticket=set capacity=1024 length=set" +
                        identity),
        "call log: ticket request");
    // The start-up of the generation, checking the versions of its own accessors.
    const std::string versions =
        generation == "1.61" ? "SteamUser023,STEAMUSERSTATS_INTERFACE_VERSION013,SteamFriends018"
                             : "SteamUser023,STEAMUSERSTATS_INTERFACE_VERSION012,SteamFriends017";
    const std::string startUp =
        generation == "1.57"
            ? "SteamAPI_Init"
            : "SteamInternal_SteamAPI_Init versions=\"" + versions +
                  ",SteamUtils010,SteamMatchMaking009,SteamMatchMakingServers002\" err=null";
    check(logHas(log, startUp), "call log: the generation's start-up", log);
    check(logHas(log,
                 "SteamAPI_ISteamMatchmaking_AddFavoriteGame app=480 ip=3232235796 conn_port=27016 "
                 "query_port=27017 flags=1 last_played=1700000000"),
          "call log: favourite added");
    check(
        logHas(log, "SteamAPI_ISteamMatchmakingServers_RequestLANServerList app=480 response=set"),
        "call log: LAN list requested");
    check(logHas(log, "SteamAPI_Shutdown"), "call log: shutdown");
}

void driveValve(HMODULE quellink) {
    using Boolean = jboolean(JNICALL*)(JNIEnv*, jobject);
    auto init = exportOf<Boolean>(quellink, "SteamAPI_1Init");
    auto loggedOn = exportOf<Boolean>(quellink, "IsSteamUserLoggedOn");
    auto steamId = exportOf<jstring(JNICALL*)(JNIEnv*, jobject)>(quellink, "GetCSteamIDString");
    if (failures > 0) return;
    JNIEnv* env = fakejni::env();
    jobject api = fakejni::makeInstance("Pellux/Steam_api");
    check(init(env, api) == JNI_FALSE, "without a Steam client the start fails");
    check(loggedOn(env, api) == JNI_FALSE, "not logged on");
    check(steamId(env, api) == nullptr, "no Steam ID");
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const std::string generation = argc > 2 ? argv[2] : "";
    if (!(mode == "simulator" &&
          (generation == "1.57" || generation == "1.60" || generation == "1.61")) &&
        mode != "valve") {
        std::fprintf(stderr,
                     "usage: quellink_driver simulator 1.57|1.60|1.61, quellink_driver valve\n");
        return 100;
    }
    const std::string game = ownDirectory();
    // As the launcher does before loading the runtime: this replaces the
    // current directory in the search order, so only the executable's
    // directory and the system's remain for Quellink's own imports.
    SetDllDirectoryA((game + "\\..\\runtime\\bin").c_str());

    const std::string path = game + "\\nativelibs\\Quellink.dll";
    HMODULE quellink = LoadLibraryA(path.c_str());
    check(quellink != nullptr, "Quellink.dll loads from nativelibs by full path",
          "error " + std::to_string(GetLastError()));
    if (quellink == nullptr) return failures;

    if (mode == "simulator") {
        driveSimulator(quellink, generation);
    } else {
        driveValve(quellink);
    }
    return failures;
}
