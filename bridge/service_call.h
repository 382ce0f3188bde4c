// The steps every Steam service export takes, in this order:
//   1. ask the interface accessor; when it yields null (Steam not started), return
//      the failure value at once, without reading any String argument;
//   2. read the String argument's characters as UTF-8 (a null String, characters
//      the VM cannot give, or a String holding U+0000 also yields the failure value,
//      with no Steam call and any pending Java exception left to Java; jni_string.h);
//   3. ask the accessor again and make the Steam call through what it yields;
//   4. give the characters back (the holder does so on every path).
// Interfaces are never kept: each export asks for them anew.
#pragma once

#include <jni.h>

#include "jni_string.h"

namespace quellink {

// Accessor as the SDK spells it: SteamUser, SteamUserStats, SteamFriends, SteamUtils.
template <class Interface>
using SteamAccessor = Interface* (*)();

// call(Interface&) -> Result, or failure while the interface is missing.
template <class Interface, class Result, class Call>
Result withSteam(SteamAccessor<Interface> accessor, Result failure, Call&& call) {
    if (accessor() == nullptr) {
        return failure;
    }
    Interface* steam = accessor();
    if (steam == nullptr) {  // Steam stopped by another thread in between
        return failure;
    }
    return call(*steam);
}

// The same for a void export.
template <class Interface, class Call>
void withSteam(SteamAccessor<Interface> accessor, Call&& call) {
    if (accessor() == nullptr) {
        return;
    }
    if (Interface* steam = accessor()) {
        call(*steam);
    }
}

// call(Interface&, const char* chars) -> Result, chars being the String's
// NUL-terminated UTF-8, valid for the call.
template <class Interface, class Result, class Call>
Result withSteamAndText(SteamAccessor<Interface> accessor, JNIEnv* env, jstring text,
                        Result failure, Call&& call) {
    if (accessor() == nullptr) {
        return failure;
    }
    const JavaStringChars chars(env, text);
    if (!chars) {
        return failure;
    }
    Interface* steam = accessor();
    if (steam == nullptr) {
        return failure;
    }
    return call(*steam, chars.c_str());
}

// The same for a void export.
template <class Interface, class Call>
void withSteamAndText(SteamAccessor<Interface> accessor, JNIEnv* env, jstring text, Call&& call) {
    if (accessor() == nullptr) {
        return;
    }
    const JavaStringChars chars(env, text);
    if (!chars) {
        return;
    }
    if (Interface* steam = accessor()) {
        call(*steam, chars.c_str());
    }
}

}  // namespace quellink
