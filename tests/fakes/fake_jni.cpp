#include "fake_jni.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <utility>

// The machine header's facts, which the bridge's export signatures rely on.
static_assert(sizeof(jint) == 4 && sizeof(jlong) == 8, "jint is 32 bits, jlong 64 bits");
static_assert(sizeof(jboolean) == 1 && sizeof(jchar) == 2, "jboolean 8 bits, jchar 16 bits");

namespace fakejni {
namespace {

struct State {
    std::deque<Object> objects;  // stable addresses: a jobject points into here
    std::deque<Method> methods;
    std::vector<std::string> log;
    ClassFilter classFilter;
    MethodHook methodHook;
    std::function<void(const std::string&)> logSink;
    jthrowable pending = nullptr;
    bool destroyed = false;
};

State& state() {
    static State instance;
    return instance;
}

void logLine(const std::string& line) {
    state().log.push_back(line);
    if (state().logSink) state().logSink(line);
}

jobject add(Object object) {
    state().objects.push_back(std::move(object));
    return reinterpret_cast<jobject>(&state().objects.back());
}

Object* get(jobject object) { return reinterpret_cast<Object*>(object); }

jthrowable makeThrowable(const std::string& className, const std::string& message) {
    Object thrown{Object::Kind::throwable, className, message, {}, {}, {}};
    return static_cast<jthrowable>(add(std::move(thrown)));
}

void raise(const std::string& className, const std::string& message) {
    state().pending = makeThrowable(className, message);
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

std::vector<jvalue> readArguments(const Method& method, va_list args) {
    std::vector<jvalue> values;
    for (char type : parameterTypes(method.signature)) {
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

std::vector<jvalue> copyArguments(const Method& method, const jvalue* args) {
    const std::size_t count = parameterTypes(method.signature).size();
    return std::vector<jvalue>(args, args + count);
}

std::string renderArguments(const Method& method, const std::vector<jvalue>& values) {
    const std::vector<char> types = parameterTypes(method.signature);
    std::string text;
    for (std::size_t i = 0; i < values.size() && i < types.size(); ++i) {
        if (i > 0) text += ", ";
        text += render(types[i], values[i]);
    }
    return text;
}

const Method& methodOf(jmethodID id) { return *reinterpret_cast<const Method*>(id); }

// --- the invocation interface ------------------------------------------------

jint JNICALL destroyJavaVM(JavaVM*) {
    logLine("DestroyJavaVM");
    state().destroyed = true;
    return JNI_OK;
}

jint JNICALL attachCurrentThread(JavaVM*, void** penv, void*) {
    logLine("AttachCurrentThread");
    *penv = environment();
    return JNI_OK;
}

jint JNICALL detachCurrentThread(JavaVM*) {
    // As the VM's default uncaught-exception handler does.
    if (Object* thrown = get(state().pending)) {
        std::fprintf(stderr, "Exception in thread \"main\" %s: %s\n", thrown->className.c_str(),
                     thrown->text.c_str());
        std::fflush(stderr);
        state().pending = nullptr;
    }
    logLine("DetachCurrentThread");
    return JNI_OK;
}

jint JNICALL getEnv(JavaVM*, void** penv, jint) {
    *penv = environment();
    return JNI_OK;
}

jint JNICALL attachCurrentThreadAsDaemon(JavaVM*, void** penv, void*) {
    logLine("AttachCurrentThreadAsDaemon");
    *penv = environment();
    return JNI_OK;
}

// --- the JNI function table ----------------------------------------------------

jint JNICALL getVersion(JNIEnv*) { return JNI_VERSION_1_8; }

jclass JNICALL findClass(JNIEnv*, const char* name) {
    logLine(std::string("FindClass ") + name);
    if (state().classFilter && !state().classFilter(name)) {
        raise("java.lang.NoClassDefFoundError", name);
        return nullptr;
    }
    return static_cast<jclass>(add({Object::Kind::classObject, name, {}, {}, {}, {}}));
}

jint JNICALL throwObject(JNIEnv*, jthrowable thrown) {
    state().pending = thrown;
    return JNI_OK;
}

jint JNICALL throwNew(JNIEnv*, jclass cls, const char* message) {
    raise(get(cls)->className, message != nullptr ? message : "");
    return JNI_OK;
}

jthrowable JNICALL exceptionOccurred(JNIEnv*) { return state().pending; }

void JNICALL exceptionDescribe(JNIEnv*) {
    logLine("ExceptionDescribe");
    if (Object* thrown = get(state().pending)) {
        std::fprintf(stderr, "%s: %s\n", thrown->className.c_str(), thrown->text.c_str());
        std::fflush(stderr);
        state().pending = nullptr;
    }
}

void JNICALL exceptionClear(JNIEnv*) {
    logLine("ExceptionClear");
    state().pending = nullptr;
}

jboolean JNICALL exceptionCheck(JNIEnv*) { return state().pending != nullptr ? JNI_TRUE : JNI_FALSE; }

jobject JNICALL newGlobalRef(JNIEnv*, jobject object) {
    logLine("NewGlobalRef");
    return object;
}

void JNICALL deleteGlobalRef(JNIEnv*, jobject) { logLine("DeleteGlobalRef"); }
void JNICALL deleteLocalRef(JNIEnv*, jobject) {}
jobject JNICALL newLocalRef(JNIEnv*, jobject object) { return object; }
jboolean JNICALL isSameObject(JNIEnv*, jobject a, jobject b) { return a == b ? JNI_TRUE : JNI_FALSE; }
jint JNICALL ensureLocalCapacity(JNIEnv*, jint) { return JNI_OK; }
jint JNICALL pushLocalFrame(JNIEnv*, jint) { return JNI_OK; }
jobject JNICALL popLocalFrame(JNIEnv*, jobject result) { return result; }

jclass JNICALL getObjectClass(JNIEnv*, jobject object) {
    return static_cast<jclass>(add({Object::Kind::classObject, get(object)->className, {}, {}, {}, {}}));
}

jmethodID lookUp(jclass cls, const char* name, const char* signature, bool isStatic) {
    const std::string className = cls != nullptr ? get(cls)->className : "<null class>";
    logLine(std::string(isStatic ? "GetStaticMethodID " : "GetMethodID ") + className + "." + name +
            signature);
    state().methods.push_back({className, name, signature, isStatic});
    return reinterpret_cast<jmethodID>(&state().methods.back());
}

jmethodID JNICALL getMethodID(JNIEnv*, jclass cls, const char* name, const char* signature) {
    return lookUp(cls, name, signature, false);
}

jmethodID JNICALL getStaticMethodID(JNIEnv*, jclass cls, const char* name, const char* signature) {
    return lookUp(cls, name, signature, true);
}

void invoke(const char* kind, const std::string& target, jmethodID id,
            const std::vector<jvalue>& arguments) {
    const Method& method = methodOf(id);
    logLine(std::string(kind) + " " + target + "." + method.name + "(" +
            renderArguments(method, arguments) + ")");
    if (state().methodHook) state().methodHook(method, arguments);
}

void JNICALL callVoidMethodV(JNIEnv*, jobject object, jmethodID id, va_list args) {
    invoke("CallVoidMethod", get(object)->className, id, readArguments(methodOf(id), args));
}

void JNICALL callVoidMethod(JNIEnv* env, jobject object, jmethodID id, ...) {
    va_list args;
    va_start(args, id);
    callVoidMethodV(env, object, id, args);
    va_end(args);
}

void JNICALL callVoidMethodA(JNIEnv*, jobject object, jmethodID id, const jvalue* args) {
    invoke("CallVoidMethod", get(object)->className, id, copyArguments(methodOf(id), args));
}

void JNICALL callStaticVoidMethodV(JNIEnv*, jclass cls, jmethodID id, va_list args) {
    invoke("CallStaticVoidMethod", get(cls)->className, id, readArguments(methodOf(id), args));
}

void JNICALL callStaticVoidMethod(JNIEnv* env, jclass cls, jmethodID id, ...) {
    va_list args;
    va_start(args, id);
    callStaticVoidMethodV(env, cls, id, args);
    va_end(args);
}

void JNICALL callStaticVoidMethodA(JNIEnv*, jclass cls, jmethodID id, const jvalue* args) {
    invoke("CallStaticVoidMethod", get(cls)->className, id, copyArguments(methodOf(id), args));
}

jobject construct(jclass cls, jmethodID id, const std::vector<jvalue>& arguments) {
    const Method& method = methodOf(id);
    Object instance{Object::Kind::instance, get(cls)->className, {}, {}, {}, {}};
    const std::vector<char> types = parameterTypes(method.signature);
    for (std::size_t i = 0; i < arguments.size() && i < types.size(); ++i) {
        instance.constructorArguments.push_back(render(types[i], arguments[i]));
    }
    logLine("NewObject " + instance.className + method.signature + "(" +
            renderArguments(method, arguments) + ")");
    return add(std::move(instance));
}

jobject JNICALL newObjectV(JNIEnv*, jclass cls, jmethodID id, va_list args) {
    return construct(cls, id, readArguments(methodOf(id), args));
}

jobject JNICALL newObject(JNIEnv* env, jclass cls, jmethodID id, ...) {
    va_list args;
    va_start(args, id);
    jobject made = newObjectV(env, cls, id, args);
    va_end(args);
    return made;
}

jobject JNICALL newObjectA(JNIEnv*, jclass cls, jmethodID id, const jvalue* args) {
    return construct(cls, id, copyArguments(methodOf(id), args));
}

jstring JNICALL newStringUTF(JNIEnv*, const char* bytes) {
    if (bytes == nullptr) return nullptr;
    return makeString(bytes);
}

jsize JNICALL getStringUTFLength(JNIEnv*, jstring text) {
    return static_cast<jsize>(get(text)->text.size());
}

const char* JNICALL getStringUTFChars(JNIEnv*, jstring text, jboolean* isCopy) {
    if (isCopy != nullptr) *isCopy = JNI_FALSE;
    return get(text)->text.c_str();
}

void JNICALL releaseStringUTFChars(JNIEnv*, jstring, const char*) {}

jsize JNICALL getArrayLength(JNIEnv*, jarray array) {
    const Object* object = get(array);
    return static_cast<jsize>(object->kind == Object::Kind::byteArray ? object->bytes.size()
                                                                      : object->elements.size());
}

jobjectArray JNICALL newObjectArray(JNIEnv*, jsize length, jclass elementClass, jobject initial) {
    const std::string elementName = elementClass != nullptr ? get(elementClass)->className : "";
    logLine("NewObjectArray " + std::to_string(length) + " " + elementName);
    if (length < 0) {
        raise("java.lang.NegativeArraySizeException", std::to_string(length));
        return nullptr;
    }
    Object array{Object::Kind::objectArray, "[" + elementName, {}, {}, {}, {}};
    array.elements.assign(static_cast<std::size_t>(length), initial);
    return static_cast<jobjectArray>(add(std::move(array)));
}

jobject JNICALL getObjectArrayElement(JNIEnv*, jobjectArray array, jsize index) {
    Object* object = get(array);
    if (index < 0 || static_cast<std::size_t>(index) >= object->elements.size()) {
        raise("java.lang.ArrayIndexOutOfBoundsException", std::to_string(index));
        return nullptr;
    }
    return object->elements[static_cast<std::size_t>(index)];
}

void JNICALL setObjectArrayElement(JNIEnv*, jobjectArray array, jsize index, jobject value) {
    Object* object = get(array);
    if (index < 0 || static_cast<std::size_t>(index) >= object->elements.size()) {
        raise("java.lang.ArrayIndexOutOfBoundsException", std::to_string(index));
        return;
    }
    object->elements[static_cast<std::size_t>(index)] = value;
}

jbyteArray JNICALL newByteArray(JNIEnv*, jsize length) {
    Object array{Object::Kind::byteArray, "[B", {}, {}, {}, {}};
    array.bytes.assign(static_cast<std::size_t>(length < 0 ? 0 : length), 0);
    return static_cast<jbyteArray>(add(std::move(array)));
}

bool outOfRange(const Object* array, jsize start, jsize length) {
    return start < 0 || length < 0 ||
           static_cast<std::size_t>(start) + static_cast<std::size_t>(length) > array->bytes.size();
}

void JNICALL setByteArrayRegion(JNIEnv*, jbyteArray array, jsize start, jsize length,
                                const jbyte* buffer) {
    Object* object = get(array);
    if (outOfRange(object, start, length)) {
        raise("java.lang.ArrayIndexOutOfBoundsException", std::to_string(start));
        return;
    }
    std::memcpy(object->bytes.data() + start, buffer, static_cast<std::size_t>(length));
}

void JNICALL getByteArrayRegion(JNIEnv*, jbyteArray array, jsize start, jsize length, jbyte* buffer) {
    Object* object = get(array);
    if (outOfRange(object, start, length)) {
        raise("java.lang.ArrayIndexOutOfBoundsException", std::to_string(start));
        return;
    }
    std::memcpy(buffer, object->bytes.data() + start, static_cast<std::size_t>(length));
}

jint JNICALL getJavaVM(JNIEnv*, JavaVM** vm) {
    *vm = javaVm();
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
    table.GetVersion = getVersion;
    table.FindClass = findClass;
    table.Throw = throwObject;
    table.ThrowNew = throwNew;
    table.ExceptionOccurred = exceptionOccurred;
    table.ExceptionDescribe = exceptionDescribe;
    table.ExceptionClear = exceptionClear;
    table.ExceptionCheck = exceptionCheck;
    table.NewGlobalRef = newGlobalRef;
    table.DeleteGlobalRef = deleteGlobalRef;
    table.DeleteLocalRef = deleteLocalRef;
    table.NewLocalRef = newLocalRef;
    table.IsSameObject = isSameObject;
    table.EnsureLocalCapacity = ensureLocalCapacity;
    table.PushLocalFrame = pushLocalFrame;
    table.PopLocalFrame = popLocalFrame;
    table.GetObjectClass = getObjectClass;
    table.GetMethodID = getMethodID;
    table.GetStaticMethodID = getStaticMethodID;
    table.CallVoidMethod = callVoidMethod;
    table.CallVoidMethodV = callVoidMethodV;
    table.CallVoidMethodA = callVoidMethodA;
    table.CallStaticVoidMethod = callStaticVoidMethod;
    table.CallStaticVoidMethodV = callStaticVoidMethodV;
    table.CallStaticVoidMethodA = callStaticVoidMethodA;
    table.NewObject = newObject;
    table.NewObjectV = newObjectV;
    table.NewObjectA = newObjectA;
    table.NewStringUTF = newStringUTF;
    table.GetStringUTFLength = getStringUTFLength;
    table.GetStringUTFChars = getStringUTFChars;
    table.ReleaseStringUTFChars = releaseStringUTFChars;
    table.GetArrayLength = getArrayLength;
    table.NewObjectArray = newObjectArray;
    table.GetObjectArrayElement = getObjectArrayElement;
    table.SetObjectArrayElement = setObjectArrayElement;
    table.NewByteArray = newByteArray;
    table.SetByteArrayRegion = setByteArrayRegion;
    table.GetByteArrayRegion = getByteArrayRegion;
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
    table.AttachCurrentThreadAsDaemon = attachCurrentThreadAsDaemon;
    return table;
}

}  // namespace

void reset() {
    State& s = state();
    s.objects.clear();
    s.methods.clear();
    s.log.clear();
    s.classFilter = nullptr;
    s.methodHook = nullptr;
    s.pending = nullptr;
    s.destroyed = false;
}

void setClassFilter(ClassFilter filter) { state().classFilter = std::move(filter); }
void setMethodHook(MethodHook hook) { state().methodHook = std::move(hook); }
void setLogSink(std::function<void(const std::string&)> sink) { state().logSink = std::move(sink); }

JNIEnv* environment() {
    static const JNINativeInterface_ functions = makeFunctions();
    static JNIEnv env{&functions};
    return &env;
}

JavaVM* javaVm() {
    static const JNIInvokeInterface_ functions = makeInvocation();
    static JavaVM vm{&functions};
    return &vm;
}

const std::vector<std::string>& callLog() { return state().log; }

jstring makeString(const std::string& bytes) {
    return static_cast<jstring>(add({Object::Kind::string, "java/lang/String", bytes, {}, {}, {}}));
}

jobject makeInstance(const std::string& className) {
    return add({Object::Kind::instance, className, {}, {}, {}, {}});
}

const Object* inspect(jobject object) { return get(object); }

jthrowable pendingException() { return state().pending; }

bool destroyed() { return state().destroyed; }

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
        default: break;
    }
    const Object* object = get(value.l);
    if (object == nullptr) return "null";
    switch (object->kind) {
        case Object::Kind::string: return "\"" + object->text + "\"";
        case Object::Kind::objectArray: {
            std::string text = "{";
            for (std::size_t i = 0; i < object->elements.size(); ++i) {
                if (i > 0) text += ", ";
                jvalue element{};
                element.l = object->elements[i];
                text += render('L', element);
            }
            return text + "}";
        }
        case Object::Kind::byteArray: return "byte[" + std::to_string(object->bytes.size()) + "]";
        default: return object->className;
    }
}

}  // namespace fakejni
