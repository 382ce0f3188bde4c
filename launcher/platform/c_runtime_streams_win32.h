// The standard output and standard error of the C runtimes loaded in the
// process, reached through each runtime's own exports.
//
// Each C runtime sets up its descriptors 1 and 2 and its stdout and stderr
// streams when it is loaded, from the standard handles there are then;
// started from the desktop there are none, and the runtime marks both
// descriptors and streams as having no handle (-2), so writes through them
// fail. Setting the standard handles later does not change them. The Java
// runtime's VM library brings its own C runtime, loaded with it and separate
// from this program's msvcrt.dll: HotSpot writes "Error occurred during
// initialization of VM" through that runtime's descriptor 1 and
// "Unrecognized VM option" through its stderr stream.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace tessvik::platform {

class CRuntimeStreams {
public:
    // Points descriptors 1 and 2 and the stdout and stderr streams of every
    // C runtime loaded in the process at pipe (a pipe's write end; each
    // descriptor gets its own copy of it). What the streams buffered until
    // then goes where it was going. Returns those runtimes.
    static std::vector<CRuntimeStreams> sendAllTo(HANDLE pipe);

    // Flushes the runtime's stdout and stderr.
    void flush() const;

private:
    bool find(const char* moduleName, bool universal);
    void sendTo(HANDLE pipe) const;

    using Dup2 = int (*)(int, int);
    using OpenOsHandle = int (*)(std::intptr_t, int);
    using Close = int (*)(int);
    using Fileno = int (*)(void*);
    using Fflush = int (*)(void*);
    using Freopen = void* (*)(const char*, const char*, void*);

    Dup2 dup2_ = nullptr;
    OpenOsHandle openOsHandle_ = nullptr;
    Close close_ = nullptr;
    Fileno fileno_ = nullptr;
    Fflush fflush_ = nullptr;
    Freopen freopen_ = nullptr;
    void* streams_[2] = {nullptr, nullptr};  // stdout, stderr (the runtime's own FILE records)
};

}  // namespace tessvik::platform
