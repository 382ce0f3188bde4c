// Natives of quellink.bench.relay.RelayBench: the two baselines that the relay's
// throughput is measured against, and the scenario load.
//
//  - bareLoop makes, in a plain native loop, the same Java call the relay makes for a
//    server: ServerResponded with the same eleven arguments and three new Strings
//    (the address text formatted the same way), and nothing else.
//  - steamOnly runs the same server list through a native response object that makes
//    the relay's Steam calls (accessors, GetServerDetails, GetAppID) and no Java call:
//    the simulated Steam client's own share of the work.
#include "steam/steam_api.h"
#include "steamsim/steamsim.h"

#include <jni.h>

#include <chrono>
#include <cstdio>

namespace {

constexpr const char* serverRespondedSignature =
    "(Ljava/lang/String;Ljava/lang/String;JSIIZIZSLjava/lang/String;)V";

struct SteamOnlyResponse final : ISteamMatchmakingServerListResponse {
    void ServerResponded(HServerListRequest request, int server) override {
        ISteamMatchmakingServers* servers = SteamMatchmakingServers();
        if (servers == nullptr) return;
        ISteamUtils* utils = SteamUtils();
        if (utils == nullptr) return;
        const gameserveritem_t* details = servers->GetServerDetails(request, server);
        if (details != nullptr && details->m_nAppID == utils->GetAppID()) ++responded;
    }
    void ServerFailedToRespond(HServerListRequest, int) override {}
    void RefreshComplete(HServerListRequest, EMatchMakingServerResponse) override {
        complete = true;
    }

    long long responded = 0;
    bool complete = false;
};

long long steamOnlyResponded = 0;

}  // namespace

extern "C" {

JNIEXPORT jboolean JNICALL Java_quellink_bench_relay_RelayBench_loadScenario(JNIEnv* env, jclass,
                                                                             jstring path) {
    const char* file = env->GetStringUTFChars(path, nullptr);
    if (file == nullptr) return JNI_FALSE;
    bool loaded = steamsim_load_scenario_file(file);
    env->ReleaseStringUTFChars(path, file);
    return loaded ? JNI_TRUE : JNI_FALSE;
}

// Returns the nanoseconds the loop took; count calls, each with server i's values.
JNIEXPORT jlong JNICALL Java_quellink_bench_relay_RelayBench_bareLoop(JNIEnv* env, jclass,
                                                                      jobject target, jint count) {
    jclass type = env->GetObjectClass(target);
    jmethodID method = env->GetMethodID(type, "ServerResponded", serverRespondedSignature);
    env->DeleteLocalRef(type);
    if (method == nullptr) return -1;

    auto start = std::chrono::steady_clock::now();
    char name[64];
    char address[64];
    for (jint i = 0; i < count; ++i) {
        const uint32 ip = 0x0A000000u + static_cast<uint32>(i);
        const uint16 port = 27015;
        std::snprintf(name, sizeof name, "Zarnkeep %d", i + 1);
        std::snprintf(address, sizeof address, "%u.%u.%u.%u:%i", (ip >> 24) & 0xFFu,
                      (ip >> 16) & 0xFFu, (ip >> 8) & 0xFFu, ip & 0xFFu, static_cast<int>(port));
        jstring jname = env->NewStringUTF(name);
        jstring jaddress = env->NewStringUTF(address);
        jstring jtags = env->NewStringUTF("pvp,eu");
        env->CallVoidMethod(target, method, jname, jaddress, static_cast<jlong>(ip),
                            static_cast<jshort>(port), static_cast<jint>(12), static_cast<jint>(32),
                            JNI_FALSE, static_cast<jint>(24), JNI_TRUE,
                            static_cast<jshort>(port + 1), jtags);
        env->DeleteLocalRef(jname);
        env->DeleteLocalRef(jaddress);
        env->DeleteLocalRef(jtags);
        if (env->ExceptionCheck()) break;
    }
    const auto took = std::chrono::steady_clock::now() - start;
    return std::chrono::duration_cast<std::chrono::nanoseconds>(took).count();
}

// Returns the nanoseconds from the request's start to its RefreshComplete, pumping.
JNIEXPORT jlong JNICALL Java_quellink_bench_relay_RelayBench_steamOnly(JNIEnv*, jclass) {
    ISteamMatchmakingServers* servers = SteamMatchmakingServers();
    ISteamUtils* utils = SteamUtils();
    if (servers == nullptr || utils == nullptr) return -1;
    MatchMakingKeyValuePair_t filters[2] = {{"gamedir", "zarnkeepserver"}, {"secure", "1"}};
    MatchMakingKeyValuePair_t* list = filters;
    SteamOnlyResponse response;
    HServerListRequest request =
        servers->RequestInternetServerList(utils->GetAppID(), &list, 2, &response);
    auto start = std::chrono::steady_clock::now();
    while (!response.complete) SteamAPI_RunCallbacks();
    auto took = std::chrono::steady_clock::now() - start;
    SteamMatchmakingServers()->ReleaseRequest(request);
    steamOnlyResponded = response.responded;
    return std::chrono::duration_cast<std::chrono::nanoseconds>(took).count();
}

JNIEXPORT jlong JNICALL Java_quellink_bench_relay_RelayBench_steamOnlyResponded(JNIEnv*, jclass) {
    return steamOnlyResponded;
}

}  // extern "C"
