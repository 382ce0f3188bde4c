// Who the Steam user is, and Steam's session authentication tickets: four calls on
// ISteamUser.
//
// Steam's unsigned 32-bit ticket handle and length reach Java as longs with zero
// upper bits. The bridge keeps no record of the tickets it hands out and cancels
// none by itself: that is for Java, through the handles.
#include <cstring>

#include "Pellux_Steam_api.h"
#include "composed_text.h"
#include "service_call.h"
#include "steam/steam_api.h"
#include "steam_values.h"

using quellink::withSteam;

namespace {

// Every ticket goes to Java in a buffer of this size, whatever its length.
constexpr int ticketBufferSize = 1024;

constexpr const char* ticketClassName = "com/zarnhall/client/steam/SteamAuthTicket";
constexpr const char* ticketConstructorSignature = "(J[BJ)V";  // handle, buffer, length

// The ticket as a new SteamAuthTicket, or null (with the VM's exception pending)
// when the VM cannot make the object.
jobject newTicketObject(JNIEnv* env, HAuthTicket handle, const unsigned char* buffer,
                        uint32 length) {
    jbyteArray bytes = env->NewByteArray(ticketBufferSize);
    if (bytes == nullptr) {
        return nullptr;
    }
    env->SetByteArrayRegion(bytes, 0, ticketBufferSize, reinterpret_cast<const jbyte*>(buffer));
    jobject ticket = nullptr;
    if (jclass ticketClass = env->FindClass(ticketClassName)) {
        if (jmethodID constructor =
                env->GetMethodID(ticketClass, "<init>", ticketConstructorSignature)) {
            ticket = env->NewObject(ticketClass, constructor, quellink::widenUnsigned32(handle),
                                    bytes, quellink::widenUnsigned32(length));
        }
        env->DeleteLocalRef(ticketClass);
    }
    // The object, if made, holds the array.
    env->DeleteLocalRef(bytes);
    return ticket;
}

}  // namespace

extern "C" {

JNIEXPORT jboolean JNICALL Java_Pellux_Steam_1api_IsSteamUserLoggedOn(JNIEnv*, jobject) {
    return withSteam(SteamUser, jboolean{JNI_FALSE}, [](ISteamUser& user) -> jboolean {
        return user.BLoggedOn() ? JNI_TRUE : JNI_FALSE;
    });
}

// A refused request still gives an object: Java judges it by its handle (0 is
// Steam's invalid handle) and length (0 unless Steam wrote it). The buffer is
// cleared first, so the bytes after the ticket are zero and no other memory of the
// process reaches Java.
JNIEXPORT jobject JNICALL Java_Pellux_Steam_1api_GetAuthSessionTicket(JNIEnv* env, jobject) {
    return withSteam(SteamUser, jobject{nullptr}, [env](ISteamUser& user) -> jobject {
        unsigned char buffer[ticketBufferSize];
        std::memset(buffer, 0, sizeof(buffer));
        uint32 length = 0;
        const HAuthTicket handle = user.GetAuthSessionTicket(buffer, ticketBufferSize, &length);
        return newTicketObject(env, handle, buffer, length);
    });
}

// Java declares the handle a long; the low 32 bits are Steam's handle, so a handle
// given as an int, or as the positive long GetAuthSessionTicket delivered, is the
// same ticket.
JNIEXPORT void JNICALL Java_Pellux_Steam_1api_CancelAuthTicket(JNIEnv*, jobject, jlong handle) {
    withSteam(SteamUser, [handle](ISteamUser& user) {
        user.CancelAuthTicket(quellink::ticketHandleFromJava(handle));
    });
}

// The 64-bit ID as unsigned decimal text: up to 20 digits, never negative.
JNIEXPORT jstring JNICALL Java_Pellux_Steam_1api_GetCSteamIDString(JNIEnv* env, jobject) {
    return withSteam(SteamUser, jstring{nullptr}, [env](ISteamUser& user) -> jstring {
        const std::optional<std::string> text =
            quellink::composeSteamIdText(user.GetSteamID().ConvertToUint64());
        return text ? env->NewStringUTF(text->c_str()) : nullptr;
    });
}

}  // extern "C"
