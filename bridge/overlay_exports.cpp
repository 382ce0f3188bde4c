// The Steam overlay (ISteamUtils) and the rich presence "connect" text
// (ISteamFriends), which tells friends the server the user plays on.
#include "Pellux_Steam_api.h"
#include "composed_text.h"
#include "service_call.h"
#include "steam/steam_api.h"
#include "steam_values.h"

using quellink::withSteam;
using quellink::withSteamAndText;

extern "C" {

// 0 to 3 are Steam's four corners; any other value is bottom left.
JNIEXPORT void JNICALL Java_Pellux_Steam_1api_SetOverlayNotificationPosition(JNIEnv*, jobject,
                                                                             jint position) {
    withSteam(SteamUtils, [position](ISteamUtils& utils) {
        utils.SetOverlayNotificationPosition(quellink::notificationPositionFromJava(position));
    });
}

JNIEXPORT jboolean JNICALL Java_Pellux_Steam_1api_OverlayNeedsPresent(JNIEnv*, jobject) {
    return withSteam(SteamUtils, jboolean{JNI_FALSE}, [](ISteamUtils& utils) -> jboolean {
        return utils.BOverlayNeedsPresent() ? JNI_TRUE : JNI_FALSE;
    });
}

// Sets "connect" to "+connect <address>:<gamePort>?Q<queryPort>[?P]?V<version>"
// (composed_text.h gives the forms of the numbers). When the text cannot be
// composed, Steam is not called. Steam's success flag is dropped.
JNIEXPORT void JNICALL Java_Pellux_Steam_1api_UpdateRichPresenceConnectionInfo(
    JNIEnv* env, jobject, jint address, jshort gamePort, jshort queryPort, jboolean passwordFlag,
    jstring version) {
    withSteamAndText(SteamFriends, env, version,
                     [=](ISteamFriends& friends, const char* versionChars) {
                         const std::optional<std::string> text = quellink::composeConnectText(
                             address, gamePort, queryPort, passwordFlag != JNI_FALSE, versionChars);
                         if (text) {
                             friends.SetRichPresence("connect", text->c_str());
                         }
                     });
}

}  // extern "C"
