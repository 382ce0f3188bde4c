// Shared libraries on POSIX systems: dlopen, whose dependencies are found
// through each library's own run path ($ORIGIN in the JDK's libjvm.so).
#include <dlfcn.h>

#include <string>

#include "libraries.h"

namespace tessvik::platform {

const char* const runtimeLibraryName = "libjvm.so";
const char* const imageLibraryName = "libjimage.so";

void setLibraryDirectory(const std::string&) {}

ResidentLibrary ResidentLibrary::load(const std::string& path, std::string* why) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (handle == nullptr && why != nullptr) {
        const char* reason = dlerror();
        *why = reason != nullptr ? reason : "";
    }
    return ResidentLibrary(handle);
}

void* ResidentLibrary::symbol(const char* name) const {
    return handle_ == nullptr ? nullptr : dlsym(handle_, name);
}

}  // namespace tessvik::platform
