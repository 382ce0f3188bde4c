// A stand-in for a Java VM's JNI function table, for test programs that run
// the launcher or the bridge without a real Java runtime (under Wine, say).
//
// Objects are plain records that live until reset(): strings hold their bytes
// exactly as handed to NewStringUTF (modified UTF-8), arrays their elements,
// classes their internal name. Every JNI call that matters to a test is
// written to the call log as one line; a function of the table that this fake
// does not implement logs "unsupported JNI function <slot>" and aborts, so a
// new use of JNI in the code under test shows up at once.
#pragma once

#include <jni.h>

#include <functional>
#include <string>
#include <vector>

namespace fakejni {

struct Object {
    enum class Kind { instance, string, classObject, objectArray, byteArray, throwable };
    Kind kind;
    std::string className;  // the class of an instance or throwable; the class itself for a class
    std::string text;       // string bytes; a throwable's message
    std::vector<jobject> elements;
    std::vector<jbyte> bytes;
    std::vector<std::string> constructorArguments;  // rendered, for instances
};

struct Method {
    std::string className;
    std::string name;
    std::string signature;
    bool isStatic;
};

// Decides whether FindClass knows a class; an unknown one gives null and a
// pending java.lang.NoClassDefFoundError. By default every class is known.
using ClassFilter = std::function<bool(const std::string& name)>;
// Called by Call[Static]VoidMethod after logging, with the rendered arguments.
using MethodHook = std::function<void(const Method& method, const std::vector<jvalue>& arguments)>;

// Forgets every object and the log, and restores the defaults.
void reset();
void setClassFilter(ClassFilter filter);
void setMethodHook(MethodHook hook);
// Receives every log line as it is written (for a record file).
void setLogSink(std::function<void(const std::string& line)> sink);

JNIEnv* environment();
JavaVM* javaVm();

// Every log line so far, in order.
const std::vector<std::string>& callLog();

// Test-side access to objects.
jstring makeString(const std::string& bytes);
jobject makeInstance(const std::string& className);
const Object* inspect(jobject object);
// The pending exception, or null.
jthrowable pendingException();
// Whether DestroyJavaVM has been called.
bool destroyed();

// Renders one argument of a method call by its JNI type letter for the log:
// numbers in decimal, booleans as true/false, strings in double quotes,
// null as null, other objects by class.
std::string render(char type, const jvalue& value);

}  // namespace fakejni
