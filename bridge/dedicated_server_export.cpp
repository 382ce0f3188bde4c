// StartZarnDedicatedServerProcess: asks the Steam client to run the game's
// dedicated-server product (dedicated_server.h). The product's application id is
// set when the build is configured (CMake cache variable
// QUELLINK_DEDICATED_SERVER_APP_ID).
#include <iostream>

#include "Pellux_Steam_api.h"
#include "dedicated_server.h"

#ifndef QUELLINK_DEDICATED_SERVER_APP_ID
#error "QUELLINK_DEDICATED_SERVER_APP_ID (the dedicated server's Steam app id) is not defined"
#endif

namespace {
constexpr AppId_t dedicatedServerAppId = QUELLINK_DEDICATED_SERVER_APP_ID;
}  // namespace

extern "C" {

// The lookup's failure lines go to the process's standard output, which is the
// launcher's console when it has one.
JNIEXPORT jboolean JNICALL Java_Pellux_Steam_1api_StartZarnDedicatedServerProcess(JNIEnv*,
                                                                                  jobject) {
    try {
        return quellink::startDedicatedServer(dedicatedServerAppId, std::cout) ? JNI_TRUE
                                                                               : JNI_FALSE;
    } catch (...) {
        // Nothing may unwind into the VM.
        return JNI_FALSE;
    }
}

}  // extern "C"
