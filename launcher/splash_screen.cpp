#include "splash_screen.h"

#include <jni.h>

#include <vector>

#include "messages.h"
#include "platform/libraries.h"
#include "platform/paths.h"
#include "runtime_location.h"

namespace tessvik {

namespace {

// The library's exports that java's splash screen uses.
using SplashInit = void(JNICALL*)();
using SplashLoadFile = int(JNICALL*)(const char* file);
using SplashSetFileJarName = void(JNICALL*)(const char* file, const char* jar);
using SplashSetScaleFactor = void(JNICALL*)(float scale);
using SplashGetScaledImgNameMaxPstfixLen = int(JNICALL*)(const char* file);
using SplashGetScaledImageName = jboolean(JNICALL*)(const char* jar, const char* file, float* scale,
                                                    char* scaledFile, std::size_t scaledFileSize);
using SplashClose = void(JNICALL*)();

// The library of the splash screen on screen; it stays loaded for the VM.
platform::ResidentLibrary shown;

template <typename Function>
Function exported(const platform::ResidentLibrary& library, const char* name) {
    return reinterpret_cast<Function>(library.symbol(name));
}

// The runtime's splash-screen library: named like its VM library
// ("libjvm.so", "jvm.dll") with "splashscreen" for "jvm", in the folder above
// the VM library's, where the VM finds its own libraries (through links, as
// the VM resolves its own path).
std::string splashLibraryOf(const std::string& runtimeLibrary) {
    std::string name = platform::runtimeLibraryName;
    name.replace(name.find("jvm"), 3, "splashscreen");
    return platform::joinPath(runtimeLibraryDirectory(platform::resolvedPath(runtimeLibrary)),
                              name);
}

// The image made for the screen's scale ("splash@2x.png" at 200 %) when there
// is one, with the scale set for it; else image.
std::string imageForScale(const platform::ResidentLibrary& library, const std::string& image) {
    const auto maxLength =
        exported<SplashGetScaledImgNameMaxPstfixLen>(library, "SplashGetScaledImgNameMaxPstfixLen");
    const auto scaledName = exported<SplashGetScaledImageName>(library, "SplashGetScaledImageName");
    const auto setScale = exported<SplashSetScaleFactor>(library, "SplashSetScaleFactor");
    if (maxLength == nullptr || scaledName == nullptr || setScale == nullptr) return image;
    std::vector<char> scaled(static_cast<std::size_t>(maxLength(image.c_str())) + image.size() + 1);
    float scale = 1;
    if (!scaledName(nullptr, image.c_str(), &scale, scaled.data(), scaled.size())) return image;
    setScale(scale);
    return scaled.data();
}

}  // namespace

void showSplashScreen(const std::string& image, const std::string& runtimeLibrary) {
    if (image.empty()) return;
    const std::string path = splashLibraryOf(runtimeLibrary);
    std::string why = "not the runtime's splash-screen library";
    const platform::ResidentLibrary library = platform::ResidentLibrary::load(path, &why);
    const auto init = exported<SplashInit>(library, "SplashInit");
    const auto loadFile = exported<SplashLoadFile>(library, "SplashLoadFile");
    const auto setName = exported<SplashSetFileJarName>(library, "SplashSetFileJarName");
    if (init == nullptr || loadFile == nullptr || setName == nullptr) {
        writeOut("The splash screen is not shown: " + notLoadedLine(path, why));
        return;
    }
    init();
    if (loadFile(imageForScale(library, image).c_str()) == 0) {
        writeOut("The splash screen is not shown: " + image +
                 " cannot be read as an image, or there is no display");
        return;
    }
    // SplashScreen.getImageURL() gives the image named here.
    setName(image.c_str(), nullptr);
    shown = library;
}

void closeSplashScreen() {
    if (const auto close = exported<SplashClose>(shown, "SplashClose")) close();
}

}  // namespace tessvik
