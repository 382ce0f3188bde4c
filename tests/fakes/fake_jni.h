// A stand-in for a Java VM's two function tables (JavaVM and JNIEnv), for tests
// that run the launcher or the bridge without a Java runtime: the bridge's unit
// tests, and the Windows test programs (a jvm.dll, a driver of Quellink's exports).
//
// Objects are plain records that live until reset(): strings hold their bytes
// exactly as handed to NewStringUTF (modified UTF-8), arrays their elements,
// classes their internal name. A jobject is a reference to one: a local reference
// a JNI function made, a global one (NewGlobalRef), or one the test made, as the
// arguments a native method receives.
//
// Every JNI call is written to the call log as one line, and every Java method
// called is recorded with its arguments. The references the code under test made
// and has not deleted are counted. JNI's rule that only a few functions may be
// called while an exception is pending is enforced: a call that breaks it, the use
// of a deleted reference, and a release of string characters that were not handed
// out are written to violations(). A function of the table that this fake does not
// implement logs "unsupported JNI function <slot>" and aborts, so a new use of JNI
// in the code under test shows up at once.
#pragma once

#include <jni.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace fakejni {

struct Object {
    enum class Kind { instance, string, classObject, objectArray, byteArray, throwable };
    Kind kind;
    std::string className;  // the class of an instance or throwable; the class itself for a class
    std::string text;       // string bytes; a throwable's message
    std::vector<const Object*> elements;
    std::vector<jbyte> bytes;
    std::vector<std::string> constructorArguments;  // rendered, for instances
};

struct Method {
    std::string className;
    std::string name;
    std::string signature;
    bool isStatic;
};

// One call of a Java method, its arguments rendered as render() does.
struct JavaCall {
    // The method's name. An instance method called through a reference that is
    // not global (a callback keeps a global one) is followed by " on a reference
    // not made global".
    std::string method;
    std::vector<std::string> arguments;
};

// Called after a Java method call is recorded, with its arguments.
using MethodHook = std::function<void(const Method& method, const std::vector<jvalue>& arguments)>;

// How the VM answers; reset() restores these defaults.
struct Settings {
    jint getEnvAnswer = JNI_OK;  // JNI_EDETACHED: a thread the VM does not know
    jint attachAnswer = JNI_OK;
    // JNI_ERR: a Java thread inside a native method, which the VM does not
    // detach; its pending exception stays. JNI_OK: the thread's pending
    // exception goes to the default uncaught-exception handler, which prints it.
    jint detachAnswer = JNI_OK;
    std::set<std::string> missingClasses;  // FindClass gives null and NoClassDefFoundError
    std::set<std::string> missingMethods;  // method lookups give null and NoSuchMethodError
    bool javaThrows = false;               // every Java method called ends with an exception
    bool outOfMemory = false;  // NewStringUTF and GetStringUTFChars give null and OutOfMemoryError
    MethodHook methodHook;
    std::function<void(const std::string& line)> logSink;  // receives every log line as written
};

// Forgets every object, reference and record, and restores the default settings.
void reset();
Settings& settings();

JNIEnv* env();
JavaVM* vm();

// Every log line so far, in order.
const std::vector<std::string>& callLog();
// The number of log lines that are line, or that begin with line and a blank.
int count(const std::string& line);
const std::vector<JavaCall>& javaCalls();
// Starts the call log and the recorded Java calls afresh.
void clearRecords();
const std::vector<std::string>& violations();

// The references that JNI functions made and that were not deleted.
int liveLocalReferences();
int liveGlobalReferences();

// Test-side objects, referenced as a native method's arguments are.
jstring makeString(const std::string& bytes);
jobject makeInstance(const std::string& className);
const Object* inspect(jobject reference);

// The pending exception as "class: message", or "" when none is pending.
std::string pendingException();
// The same, and the exception is taken away, as returning to Java does.
std::string takePendingException();

// Renders one argument of a method call by its JNI type letter for the log:
// numbers in decimal, booleans as true/false, strings in double quotes,
// null as null, other objects by class.
std::string render(char type, const jvalue& value);

}  // namespace fakejni
