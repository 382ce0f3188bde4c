// The user's statistics and achievements: nine calls on ISteamUserStats.
//
// The bridge keeps no copy of any statistic and commits nothing itself: every read
// asks Steam, every write goes straight to Steam, and only Java's StoreStats commits.
// Reads return the output variable as Steam left it, which starts at 0, 0.0 or
// false; Steam's success flag is not looked at, so a refused read gives the starting
// value unless Steam wrote the output. Writes drop Steam's flag. Only
// RequestCurrentStats and StoreStats hand Steam's flag to Java.
#include "Pellux_Steam_api.h"
#include "service_call.h"
#include "stats_received_event.h"
#include "steam/steam_api.h"

using quellink::withSteam;
using quellink::withSteamAndText;

namespace {

// The int32 and float forms of GetStat and SetStat are the same call on another type.
template <typename Value>
Value getStat(JNIEnv* env, jstring name) {
    return withSteamAndText(SteamUserStats, env, name, Value{0},
                            [](ISteamUserStats& stats, const char* chars) -> Value {
                                Value value{0};
                                stats.GetStat(chars, &value);
                                return value;
                            });
}

template <typename Value>
void setStat(JNIEnv* env, jstring name, Value value) {
    withSteamAndText(SteamUserStats, env, name, [value](ISteamUserStats& stats, const char* chars) {
        stats.SetStat(chars, value);
    });
}

}  // namespace

extern "C" {

// Only starts the request; its answer reaches Java as UserStatsReceived_t from
// inside SteamAPI_RunCallbacks. A library without the call (SDK 1.61 on) already
// has the stats: true, and the bridge posts the event itself.
JNIEXPORT jboolean JNICALL Java_Pellux_Steam_1api_RequestCurrentStats(JNIEnv*, jobject) {
    return withSteam(SteamUserStats, jboolean{JNI_FALSE}, [](ISteamUserStats& stats) -> jboolean {
        if (quellink::boundSteam().requestCurrentStats == nullptr) {
            quellink::postUserStatsReceived();
            return JNI_TRUE;
        }
        return stats.RequestCurrentStats() ? JNI_TRUE : JNI_FALSE;
    });
}

JNIEXPORT jint JNICALL Java_Pellux_Steam_1api_GetStatInt(JNIEnv* env, jobject, jstring name) {
    return getStat<int32>(env, name);
}

JNIEXPORT void JNICALL Java_Pellux_Steam_1api_SetStatInt(JNIEnv* env, jobject, jstring name,
                                                         jint value) {
    setStat(env, name, static_cast<int32>(value));
}

JNIEXPORT jfloat JNICALL Java_Pellux_Steam_1api_GetStatFloat(JNIEnv* env, jobject, jstring name) {
    return getStat<float>(env, name);
}

JNIEXPORT void JNICALL Java_Pellux_Steam_1api_SetStatFloat(JNIEnv* env, jobject, jstring name,
                                                           jfloat value) {
    setStat(env, name, static_cast<float>(value));
}

// One achievement, despite the plural: whether it is achieved, not whether Steam
// answered.
JNIEXPORT jboolean JNICALL Java_Pellux_Steam_1api_getAchievements(JNIEnv* env, jobject,
                                                                  jstring name) {
    return withSteamAndText(SteamUserStats, env, name, jboolean{JNI_FALSE},
                            [](ISteamUserStats& stats, const char* chars) -> jboolean {
                                bool achieved = false;
                                stats.GetAchievement(chars, &achieved);
                                return achieved ? JNI_TRUE : JNI_FALSE;
                            });
}

JNIEXPORT void JNICALL Java_Pellux_Steam_1api_setAchievements(JNIEnv* env, jobject, jstring name) {
    withSteamAndText(SteamUserStats, env, name, [](ISteamUserStats& stats, const char* chars) {
        stats.SetAchievement(chars);
    });
}

JNIEXPORT void JNICALL Java_Pellux_Steam_1api_setClearAchievement(JNIEnv* env, jobject,
                                                                  jstring name) {
    withSteamAndText(SteamUserStats, env, name, [](ISteamUserStats& stats, const char* chars) {
        stats.ClearAchievement(chars);
    });
}

JNIEXPORT jboolean JNICALL Java_Pellux_Steam_1api_StoreStats(JNIEnv*, jobject) {
    return withSteam(SteamUserStats, jboolean{JNI_FALSE}, [](ISteamUserStats& stats) -> jboolean {
        return stats.StoreStats() ? JNI_TRUE : JNI_FALSE;
    });
}

}  // extern "C"
