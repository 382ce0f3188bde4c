// What the two sides of a launch's watcher share on Windows.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace platform {

// Written through the caught output's pipe by the launcher after everything
// written before it: once the watcher's reader meets it, it has all of that.
constexpr char endMark[] = "\x1b[tessvik: end of the caught output]\x1b";
constexpr std::size_t endMarkSize = sizeof endMark - 1;

// Writes all of bytes to a pipe. False when the reader is gone.
inline bool writeWhole(HANDLE pipe, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(pipe, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                       nullptr)) {
            return false;
        }
        done += written;
    }
    return true;
}

}  // namespace platform
