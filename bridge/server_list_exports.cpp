// The server browser for Java: five list requests and the cancel. Results arrive
// inside SteamAPI_RunCallbacks as calls of ServerResponded, ServerFailedToRespond
// and RefreshComplete on the object that called CreateCallback.
//
// The requests go through the relay of the current callback registry, which
// releases the request it started before: at most one request of the bridge is alive.
// Without a registry there is no one to deliver results to, so nothing is started.
#include "Pellux_Steam_api.h"
#include "callback_registry.h"

namespace {

jlong startServerList(quellink::ServerListKind kind) {
    auto lock = quellink::lockRegistries();
    quellink::CallbackRegistry* registry = quellink::currentCallbackRegistry();
    if (registry == nullptr) return 0;
    return quellink::requestHandleToJava(registry->serverListResponse.startRequest(kind));
}

}  // namespace

extern "C" {

JNIEXPORT jlong JNICALL Java_Pellux_Steam_1api_RequestLANServerList(JNIEnv*, jobject) {
    return startServerList(quellink::ServerListKind::lan);
}

JNIEXPORT jlong JNICALL Java_Pellux_Steam_1api_RequestInternetServerList(JNIEnv*, jobject) {
    return startServerList(quellink::ServerListKind::internet);
}

JNIEXPORT jlong JNICALL Java_Pellux_Steam_1api_RequestFavoriteServerList(JNIEnv*, jobject) {
    return startServerList(quellink::ServerListKind::favorites);
}

JNIEXPORT jlong JNICALL Java_Pellux_Steam_1api_RequestHistoryServerList(JNIEnv*, jobject) {
    return startServerList(quellink::ServerListKind::history);
}

JNIEXPORT jlong JNICALL Java_Pellux_Steam_1api_RequestFriendsServerList(JNIEnv*, jobject) {
    return startServerList(quellink::ServerListKind::friends);
}

JNIEXPORT void JNICALL Java_Pellux_Steam_1api_CancelServerListRequest(JNIEnv*, jobject) {
    auto lock = quellink::lockRegistries();
    quellink::CallbackRegistry* registry = quellink::currentCallbackRegistry();
    if (registry == nullptr) return;
    registry->serverListResponse.releaseTrackedRequest();
}

}  // extern "C"
