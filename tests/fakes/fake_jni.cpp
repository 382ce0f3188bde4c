#include "fake_jni.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <utility>

// The machine header's facts, which the bridge's export signatures rely on.
static_assert(sizeof(jint) == 4 && sizeof(jlong) == 8, "jint is 32 bits, jlong 64 bits");
static_assert(sizeof(jboolean) == 1 && sizeof(jchar) == 2, "jboolean 8 bits, jchar 16 bits");

namespace fakejni {
namespace {

// What a jobject points to.
struct Reference {
    enum class Scope { argument, local, global };
    Object* object;
    Scope scope;
    bool live = true;
};

struct State {
    std::deque<Object> objects;  // stable addresses: references point into here
    std::deque<Reference> references;
    std::deque<Method> methods;
    std::vector<std::string> log;
    std::vector<JavaCall> javaCalls;
    std::vector<std::string> violations;
    // String characters handed out and not yet released, by String and address.
    std::map<std::pair<const Object*, const char*>, int> stringChars;
    Object* pending = nullptr;
    Settings settings;
};

State& state() {
    static State instance;
    return instance;
}

void logLine(const std::string& line) {
    state().log.push_back(line);
    if (state().settings.logSink) state().settings.logSink(line);
}

void violation(const std::string& what) { state().violations.push_back(what); }

// Logs a call of the JNIEnv table. JNI allows only a few functions while an
// exception is pending: the ones that look at it, clear it or free resources.
void enter(const std::string& line, bool allowedWhilePending = false) {
    logLine(line);
    if (state().pending != nullptr && !allowedWhilePending) {
        violation(line + " (with an exception pending)");
    }
}

Object* add(Object object) {
    state().objects.push_back(std::move(object));
    return &state().objects.back();
}

jobject refer(Object* object, Reference::Scope scope) {
    if (object == nullptr) return nullptr;
    state().references.push_back({object, scope});
    return reinterpret_cast<jobject>(&state().references.back());
}

jobject local(Object* object) { return refer(object, Reference::Scope::local); }

Reference* referenceOf(jobject handle) { return reinterpret_cast<Reference*>(handle); }

// The object a reference the code under test passes refers to.
Object* objectOf(jobject handle) {
    if (handle == nullptr) return nullptr;
    const Reference* reference = referenceOf(handle);
    if (!reference->live) {
        violation("use of a deleted reference to " + reference->object->className);
    }
    return reference->object;
}

const std::string& classNameOf(jobject handle) {
    static const std::string none = "<null class>";
    const Object* object = objectOf(handle);
    return object != nullptr ? object->className : none;
}

void raise(const std::string& className, const std::string& message) {
    state().pending = add({Object::Kind::throwable, className, message, {}, {}, {}});
}

std::string describe(const Object* thrown) {
    return thrown != nullptr ? thrown->className + ": " + thrown->text : "";
}

std::string versionText(jint version) {
    return std::to_string(version >> 16) + "." + std::to_string(version & 0xffff);
}

// The type letters of a method descriptor's parameters; arrays count as
// objects ('L').
std::vector<char> parameterTypes(const std::string& signature) {
    std::vector<char> types;
    std::size_t i = signature.find('(');
    if (i == std::string::npos) return types;
    for (++i; i < signature.size() && signature[i] != ')'; ++i) {
        char type = signature[i];
        if (type == '[') {
            while (i < signature.size() && signature[i] == '[') ++i;
            type = 'L';
        }
        if (signature[i] == 'L') {
            type = 'L';
            i = signature.find(';', i);
            if (i == std::string::npos) break;
        }
        types.push_back(type);
    }
    return types;
}

const Method& methodOf(jmethodID id) { return *reinterpret_cast<const Method*>(id); }

std::vector<jvalue> readArguments(jmethodID id, va_list args) {
    std::vector<jvalue> values;
    for (char type : parameterTypes(methodOf(id).signature)) {
        jvalue value{};
        switch (type) {
            case 'Z': value.z = static_cast<jboolean>(va_arg(args, int)); break;
            case 'B': value.b = static_cast<jbyte>(va_arg(args, int)); break;
            case 'C': value.c = static_cast<jchar>(va_arg(args, int)); break;
            case 'S': value.s = static_cast<jshort>(va_arg(args, int)); break;
            case 'I': value.i = va_arg(args, jint); break;
            case 'J': value.j = va_arg(args, jlong); break;
            case 'F': value.f = static_cast<jfloat>(va_arg(args, double)); break;
            case 'D': value.d = va_arg(args, double); break;
            default: value.l = va_arg(args, jobject); break;
        }
        values.push_back(value);
    }
    return values;
}

std::vector<jvalue> copyArguments(jmethodID id, const jvalue* args) {
    return std::vector<jvalue>(args, args + parameterTypes(methodOf(id).signature).size());
}

std::vector<std::string> renderArguments(const Method& method, const std::vector<jvalue>& values) {
    const std::vector<char> types = parameterTypes(method.signature);
    std::vector<std::string> rendered;
    for (std::size_t i = 0; i < values.size() && i < types.size(); ++i) {
        rendered.push_back(render(types[i], values[i]));
    }
    return rendered;
}

std::string joined(const std::vector<std::string>& texts) {
    std::string text;
    for (const std::string& each : texts) text += (text.empty() ? "" : ", ") + each;
    return text;
}

// --- the invocation interface ------------------------------------------------

jint JNICALL destroyJavaVM(JavaVM*) {
    logLine("DestroyJavaVM");
    return JNI_OK;
}

jint JNICALL attachCurrentThread(JavaVM*, void** penv, void* args) {
    logLine(std::string("AttachCurrentThread") + (args == nullptr ? "" : " with arguments"));
    *penv = state().settings.attachAnswer == JNI_OK ? env() : nullptr;
    return state().settings.attachAnswer;
}

jint JNICALL detachCurrentThread(JavaVM*) {
    const jint answer = state().settings.detachAnswer;
    if (answer == JNI_OK && state().pending != nullptr) {
        const std::string thrown = describe(state().pending);
        std::fprintf(stderr, "Exception in thread \"main\" %s\n", thrown.c_str());
        std::fflush(stderr);
        state().pending = nullptr;
    }
    logLine("DetachCurrentThread");
    return answer;
}

jint JNICALL getEnv(JavaVM*, void** penv, jint version) {
    // The JVM tool interface (versions 0x30......) is not faked: the answer of
    // a VM built without it.
    if ((version & 0x30000000) == 0x30000000) {
        *penv = nullptr;
        return JNI_EVERSION;
    }
    logLine("GetEnv " + versionText(version));
    *penv = state().settings.getEnvAnswer == JNI_OK ? env() : nullptr;
    return state().settings.getEnvAnswer;
}

// --- the JNI function table ----------------------------------------------------

jclass JNICALL findClass(JNIEnv*, const char* name) {
    enter(std::string("FindClass ") + name);
    if (state().settings.missingClasses.count(name) != 0) {
        raise("java.lang.NoClassDefFoundError", name);
        return nullptr;
    }
    return static_cast<jclass>(local(add({Object::Kind::classObject, name, {}, {}, {}, {}})));
}

jint JNICALL throwObject(JNIEnv*, jthrowable thrown) {
    enter("Throw " + describe(objectOf(thrown)));
    state().pending = objectOf(thrown);
    return JNI_OK;
}

jthrowable JNICALL exceptionOccurred(JNIEnv*) {
    enter("ExceptionOccurred", true);
    return static_cast<jthrowable>(local(state().pending));
}

void JNICALL exceptionDescribe(JNIEnv*) {
    enter("ExceptionDescribe", true);
    if (state().pending != nullptr) {
        std::fprintf(stderr, "%s\n", describe(state().pending).c_str());
        std::fflush(stderr);
        state().pending = nullptr;
    }
}

void JNICALL exceptionClear(JNIEnv*) {
    enter("ExceptionClear", true);
    state().pending = nullptr;
}

jboolean JNICALL exceptionCheck(JNIEnv*) {
    enter("ExceptionCheck", true);
    return state().pending != nullptr ? JNI_TRUE : JNI_FALSE;
}

jobject JNICALL newGlobalRef(JNIEnv*, jobject object) {
    enter("NewGlobalRef");
    return refer(objectOf(object), Reference::Scope::global);
}

// Deletes a reference of the given scope; an argument counts as local.
void release(jobject handle, Reference::Scope scope, const char* function) {
    if (handle == nullptr) return;
    Reference* reference = referenceOf(handle);
    const bool inScope =
        reference->scope == scope ||
        (scope == Reference::Scope::local && reference->scope == Reference::Scope::argument);
    if (!reference->live || !inScope) {
        violation(std::string(function) + " of a reference that is not a live one of its kind");
    }
    reference->live = false;
}

void JNICALL deleteGlobalRef(JNIEnv*, jobject object) {
    enter("DeleteGlobalRef", true);
    release(object, Reference::Scope::global, "DeleteGlobalRef");
}

void JNICALL deleteLocalRef(JNIEnv*, jobject object) {
    enter("DeleteLocalRef", true);
    release(object, Reference::Scope::local, "DeleteLocalRef");
}

jboolean JNICALL isSameObject(JNIEnv*, jobject first, jobject second) {
    enter("IsSameObject");
    return objectOf(first) == objectOf(second) ? JNI_TRUE : JNI_FALSE;
}

jclass JNICALL getObjectClass(JNIEnv*, jobject object) {
    enter("GetObjectClass");
    const std::string& name = classNameOf(object);
    return static_cast<jclass>(local(add({Object::Kind::classObject, name, {}, {}, {}, {}})));
}

jmethodID lookUp(jclass cls, const char* name, const char* signature, bool isStatic) {
    const std::string className = classNameOf(cls);
    enter(std::string(isStatic ? "GetStaticMethodID " : "GetMethodID ") + className + "." + name +
          signature);
    if (state().settings.missingMethods.count(name) != 0) {
        raise("java.lang.NoSuchMethodError", name);
        return nullptr;
    }
    state().methods.push_back({className, name, signature, isStatic});
    return reinterpret_cast<jmethodID>(&state().methods.back());
}

jmethodID JNICALL getMethodID(JNIEnv*, jclass cls, const char* name, const char* signature) {
    return lookUp(cls, name, signature, false);
}

jmethodID JNICALL getStaticMethodID(JNIEnv*, jclass cls, const char* name, const char* signature) {
    return lookUp(cls, name, signature, true);
}

// A call of a void method, static or not, in each of JNI's three argument forms.
void invoke(bool isStatic, jobject receiver, jmethodID id, const std::vector<jvalue>& arguments) {
    const Method& method = methodOf(id);
    JavaCall call{method.name, renderArguments(method, arguments)};
    enter(std::string(isStatic ? "CallStaticVoidMethod " : "CallVoidMethod ") +
          classNameOf(receiver) + "." + method.name + "(" + joined(call.arguments) + ")");
    if (!isStatic && receiver != nullptr &&
        referenceOf(receiver)->scope != Reference::Scope::global) {
        call.method += " on a reference not made global";
    }
    state().javaCalls.push_back(call);
    if (state().settings.methodHook) state().settings.methodHook(method, arguments);
    if (state().settings.javaThrows) {
        raise("java.lang.RuntimeException", "thrown by " + method.name);
    }
}

template <bool isStatic, typename Receiver>
void JNICALL callVoid(JNIEnv*, Receiver receiver, jmethodID id, ...) {
    va_list args;
    va_start(args, id);
    invoke(isStatic, receiver, id, readArguments(id, args));
    va_end(args);
}

template <bool isStatic, typename Receiver>
void JNICALL callVoidV(JNIEnv*, Receiver receiver, jmethodID id, va_list args) {
    invoke(isStatic, receiver, id, readArguments(id, args));
}

template <bool isStatic, typename Receiver>
void JNICALL callVoidA(JNIEnv*, Receiver receiver, jmethodID id, const jvalue* args) {
    invoke(isStatic, receiver, id, copyArguments(id, args));
}

jobject construct(jclass cls, jmethodID id, const std::vector<jvalue>& arguments) {
    const Method& method = methodOf(id);
    Object instance{Object::Kind::instance, classNameOf(cls), {}, {}, {}, {}};
    instance.constructorArguments = renderArguments(method, arguments);
    enter("NewObject " + instance.className + method.signature + "(" +
          joined(instance.constructorArguments) + ")");
    return local(add(std::move(instance)));
}

jobject JNICALL newObject(JNIEnv*, jclass cls, jmethodID id, ...) {
    va_list args;
    va_start(args, id);
    jobject made = construct(cls, id, readArguments(id, args));
    va_end(args);
    return made;
}

jobject JNICALL newObjectV(JNIEnv*, jclass cls, jmethodID id, va_list args) {
    return construct(cls, id, readArguments(id, args));
}

jobject JNICALL newObjectA(JNIEnv*, jclass cls, jmethodID id, const jvalue* args) {
    return construct(cls, id, copyArguments(id, args));
}

jstring JNICALL newStringUTF(JNIEnv*, const char* bytes) {
    enter("NewStringUTF " + (bytes != nullptr ? "\"" + std::string(bytes) + "\"" : "null"));
    if (bytes == nullptr) return nullptr;
    if (state().settings.outOfMemory) {
        raise("java.lang.OutOfMemoryError", "NewStringUTF");
        return nullptr;
    }
    return static_cast<jstring>(
        local(add({Object::Kind::string, "java/lang/String", bytes, {}, {}, {}})));
}

const char* JNICALL getStringUTFChars(JNIEnv*, jstring text, jboolean* isCopy) {
    const Object* string = objectOf(text);
    enter("GetStringUTFChars \"" + string->text +
          "\" isCopy=" + (isCopy != nullptr ? "set" : "null"));
    if (state().settings.outOfMemory) {
        raise("java.lang.OutOfMemoryError", "GetStringUTFChars");
        return nullptr;
    }
    if (isCopy != nullptr) *isCopy = JNI_FALSE;
    ++state().stringChars[{string, string->text.c_str()}];
    return string->text.c_str();
}

void JNICALL releaseStringUTFChars(JNIEnv*, jstring text, const char* chars) {
    const Object* string = objectOf(text);
    enter("ReleaseStringUTFChars \"" + string->text + "\"", true);
    int& handedOut = state().stringChars[{string, chars}];
    if (handedOut == 0) {
        violation("ReleaseStringUTFChars of characters not got from that String");
    } else {
        --handedOut;
    }
}

jobjectArray JNICALL newObjectArray(JNIEnv*, jsize length, jclass elementClass, jobject initial) {
    const std::string elementName = elementClass != nullptr ? classNameOf(elementClass) : "";
    enter("NewObjectArray " + std::to_string(length) + " " + elementName);
    if (length < 0) {
        raise("java.lang.NegativeArraySizeException", std::to_string(length));
        return nullptr;
    }
    Object array{Object::Kind::objectArray, "[" + elementName, {}, {}, {}, {}};
    array.elements.assign(static_cast<std::size_t>(length), objectOf(initial));
    return static_cast<jobjectArray>(local(add(std::move(array))));
}

// Whether [start, start + length) lies outside the array; raises the Java
// exception if so.
bool outOfRange(const Object* array, jsize start, jsize length) {
    const std::size_t size =
        array->kind == Object::Kind::byteArray ? array->bytes.size() : array->elements.size();
    if (start >= 0 && length >= 0 &&
        static_cast<std::size_t>(start) + static_cast<std::size_t>(length) <= size) {
        return false;
    }
    raise("java.lang.ArrayIndexOutOfBoundsException", std::to_string(start));
    return true;
}

void JNICALL setObjectArrayElement(JNIEnv*, jobjectArray array, jsize index, jobject value) {
    enter("SetObjectArrayElement " + std::to_string(index));
    Object* object = objectOf(array);
    if (outOfRange(object, index, 1)) return;
    object->elements[static_cast<std::size_t>(index)] = objectOf(value);
}

jbyteArray JNICALL newByteArray(JNIEnv*, jsize length) {
    enter("NewByteArray " + std::to_string(length));
    Object array{Object::Kind::byteArray, "[B", {}, {}, {}, {}};
    array.bytes.assign(static_cast<std::size_t>(length < 0 ? 0 : length), 0);
    return static_cast<jbyteArray>(local(add(std::move(array))));
}

void JNICALL setByteArrayRegion(JNIEnv*, jbyteArray array, jsize start, jsize length,
                                const jbyte* buffer) {
    enter("SetByteArrayRegion");
    Object* object = objectOf(array);
    if (outOfRange(object, start, length)) return;
    std::memcpy(object->bytes.data() + start, buffer, static_cast<std::size_t>(length));
}

jint JNICALL getJavaVM(JNIEnv*, JavaVM** out) {
    enter("GetJavaVM");
    *out = vm();
    return JNI_OK;
}

// --- unsupported functions -------------------------------------------------------

[[noreturn]] void unsupported(std::size_t slot) {
    logLine("unsupported JNI function " + std::to_string(slot));
    std::fprintf(stderr, "fake JNI: the code under test called unsupported function slot %zu\n",
                 slot);
    std::fflush(stderr);
    std::abort();
}

template <std::size_t Slot>
void trap() {
    unsupported(Slot);
}

template <std::size_t... Slots>
std::vector<void (*)()> traps(std::index_sequence<Slots...>) {
    return {&trap<Slots>...};
}

// Fills a function table with traps, slot by slot, before the implemented
// functions are put in.
template <typename Table>
void fillWithTraps(Table& table) {
    constexpr std::size_t slots = sizeof(Table) / sizeof(void*);
    static_assert(sizeof(Table) == slots * sizeof(void (*)()), "a table of pointers");
    const std::vector<void (*)()> all = traps(std::make_index_sequence<slots>());
    std::memcpy(static_cast<void*>(&table), all.data(), sizeof(Table));
}

JNINativeInterface_ makeFunctions() {
    JNINativeInterface_ table;
    fillWithTraps(table);
    table.reserved0 = table.reserved1 = table.reserved2 = table.reserved3 = nullptr;
    table.FindClass = findClass;
    table.Throw = throwObject;
    table.ExceptionOccurred = exceptionOccurred;
    table.ExceptionDescribe = exceptionDescribe;
    table.ExceptionClear = exceptionClear;
    table.ExceptionCheck = exceptionCheck;
    table.NewGlobalRef = newGlobalRef;
    table.DeleteGlobalRef = deleteGlobalRef;
    table.DeleteLocalRef = deleteLocalRef;
    table.GetObjectClass = getObjectClass;
    table.IsSameObject = isSameObject;
    table.GetMethodID = getMethodID;
    table.GetStaticMethodID = getStaticMethodID;
    table.CallVoidMethod = callVoid<false, jobject>;
    table.CallVoidMethodV = callVoidV<false, jobject>;
    table.CallVoidMethodA = callVoidA<false, jobject>;
    table.CallStaticVoidMethod = callVoid<true, jclass>;
    table.CallStaticVoidMethodV = callVoidV<true, jclass>;
    table.CallStaticVoidMethodA = callVoidA<true, jclass>;
    table.NewObject = newObject;
    table.NewObjectV = newObjectV;
    table.NewObjectA = newObjectA;
    table.NewStringUTF = newStringUTF;
    table.GetStringUTFChars = getStringUTFChars;
    table.ReleaseStringUTFChars = releaseStringUTFChars;
    table.NewObjectArray = newObjectArray;
    table.SetObjectArrayElement = setObjectArrayElement;
    table.NewByteArray = newByteArray;
    table.SetByteArrayRegion = setByteArrayRegion;
    table.GetJavaVM = getJavaVM;
    return table;
}

JNIInvokeInterface_ makeInvocation() {
    JNIInvokeInterface_ table;
    fillWithTraps(table);
    table.reserved0 = table.reserved1 = table.reserved2 = nullptr;
    table.DestroyJavaVM = destroyJavaVM;
    table.AttachCurrentThread = attachCurrentThread;
    table.DetachCurrentThread = detachCurrentThread;
    table.GetEnv = getEnv;
    return table;
}

int countLive(Reference::Scope scope) {
    int live = 0;
    for (const Reference& reference : state().references) {
        if (reference.live && reference.scope == scope) ++live;
    }
    return live;
}

std::string renderObject(const Object* object) {
    if (object == nullptr) return "null";
    switch (object->kind) {
        case Object::Kind::string: return "\"" + object->text + "\"";
        case Object::Kind::objectArray: {
            std::vector<std::string> elements;
            for (const Object* element : object->elements) {
                elements.push_back(renderObject(element));
            }
            return "{" + joined(elements) + "}";
        }
        case Object::Kind::byteArray: return "byte[" + std::to_string(object->bytes.size()) + "]";
        default: return object->className;
    }
}

}  // namespace

void reset() { state() = State{}; }

Settings& settings() { return state().settings; }

JNIEnv* env() {
    static const JNINativeInterface_ functions = makeFunctions();
    static JNIEnv env{&functions};
    return &env;
}

JavaVM* vm() {
    static const JNIInvokeInterface_ functions = makeInvocation();
    static JavaVM vm{&functions};
    return &vm;
}

const std::vector<std::string>& callLog() { return state().log; }

int count(const std::string& line) {
    const auto& log = state().log;
    return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const std::string& each) {
        return each == line || each.rfind(line + " ", 0) == 0;
    }));
}

const std::vector<JavaCall>& javaCalls() { return state().javaCalls; }

void clearRecords() {
    state().log.clear();
    state().javaCalls.clear();
}

const std::vector<std::string>& violations() { return state().violations; }

int liveLocalReferences() { return countLive(Reference::Scope::local); }
int liveGlobalReferences() { return countLive(Reference::Scope::global); }

jstring makeString(const std::string& bytes) {
    Object* string = add({Object::Kind::string, "java/lang/String", bytes, {}, {}, {}});
    return static_cast<jstring>(refer(string, Reference::Scope::argument));
}

jobject makeInstance(const std::string& className) {
    Object* instance = add({Object::Kind::instance, className, {}, {}, {}, {}});
    return refer(instance, Reference::Scope::argument);
}

const Object* inspect(jobject reference) {
    return reference != nullptr ? referenceOf(reference)->object : nullptr;
}

std::string pendingException() { return describe(state().pending); }

std::string takePendingException() {
    const std::string pending = pendingException();
    state().pending = nullptr;
    return pending;
}

std::string render(char type, const jvalue& value) {
    switch (type) {
        case 'Z': return value.z ? "true" : "false";
        case 'B': return std::to_string(value.b);
        case 'C': return std::to_string(value.c);
        case 'S': return std::to_string(value.s);
        case 'I': return std::to_string(value.i);
        case 'J': return std::to_string(value.j);
        case 'F': return std::to_string(value.f);
        case 'D': return std::to_string(value.d);
        default: return renderObject(inspect(value.l));
    }
}

}  // namespace fakejni
