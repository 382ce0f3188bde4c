// Shared libraries on Windows: LoadLibraryA, with the directory of the
// runtime's own libraries registered first (SetDllDirectoryA).
#include <windows.h>

#include <string>

#include "libraries.h"
#include "system_error_win32.h"

namespace tessvik::platform {

const char* const runtimeLibraryName = "jvm.dll";
const char* const imageLibraryName = "jimage.dll";

void setLibraryDirectory(const std::string& directory) { SetDllDirectoryA(directory.c_str()); }

ResidentLibrary ResidentLibrary::load(const std::string& path, std::string* why) {
    const HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr && why != nullptr) *why = systemErrorText(GetLastError());
    return ResidentLibrary(reinterpret_cast<void*>(module));
}

void* ResidentLibrary::symbol(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

}  // namespace tessvik::platform
