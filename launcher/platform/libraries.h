// Shared libraries: the Java runtime's VM library and its image library,
// loaded for the rest of the process.
#pragma once

#include <cstddef>
#include <string>

namespace tessvik::platform {

extern const char* const runtimeLibraryName;  // "jvm.dll" / "libjvm.so"
extern const char* const imageLibraryName;    // "jimage.dll" / "libjimage.so"

// Registers a directory searched for the dependent libraries of the next
// load (Windows; POSIX libraries find theirs through their own run path).
void setLibraryDirectory(const std::string& directory);

// A shared library loaded for the rest of the process: nothing unloads it. The
// one the launcher loads is the Java runtime's VM library, which cannot be
// unloaded: the VM's daemon threads still stand in its code after DestroyJavaVM
// returns. Copies name the same library.
class ResidentLibrary {
public:
    // No library.
    ResidentLibrary() = default;

    // Loads a shared library by full path; no library on failure, and then
    // why names the system's reason (dlerror, FormatMessage) when given.
    static ResidentLibrary load(const std::string& path, std::string* why = nullptr);

    // The address of an exported name; null without a library or such a name.
    void* symbol(const char* name) const;

    explicit operator bool() const { return handle_ != nullptr; }

private:
    explicit ResidentLibrary(void* handle) : handle_(handle) {}

    void* handle_ = nullptr;
};

}  // namespace tessvik::platform
