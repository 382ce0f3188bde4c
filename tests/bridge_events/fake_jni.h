// A stand-in for the Java VM as the bridge's handlers see it: the JavaVM and
// JNIEnv function tables, with the calls they receive recorded. It enforces JNI's
// rule that only a few functions may be called while an exception is pending.
#pragma once

#include <jni.h>

#include <set>
#include <string>
#include <vector>

namespace fake {

// One Java method call the bridge made.
struct JavaCall {
    std::string method;
    std::vector<std::string> strings;  // String arguments in order; "<null>" for null
    // ServerResponded's other arguments, in order.
    jlong ip = 0;
    int connectionPort = 0, players = 0, maxPlayers = 0, password = 0, ping = 0, secure = 0, queryPort = 0;
};

struct JvmState {
    jint getEnvAnswer = JNI_OK;  // JNI_EDETACHED: a thread the VM does not know
    jint attachAnswer = JNI_OK;
    bool exceptionPending = false;
    std::string exception;           // what is pending, where the test needs to know
    bool throwOnCall = false;        // the Java methods throw
    bool failNewString = false;      // NewStringUTF runs out of memory
    std::set<std::string> missingMethods;

    std::vector<std::string> events;  // every VM and JNI call in order, by name
    std::vector<JavaCall> calls;
    std::vector<std::string> violations;  // calls made with an exception pending
    int liveLocalRefs = 0;
    int liveGlobalRefs = 0;
    int describes = 0;
};

extern JvmState jvm;

void resetJvm();
JNIEnv* env();
JavaVM* vm();
jobject target();

// The number of recorded events of that name.
int count(const std::string& event);

}  // namespace fake
