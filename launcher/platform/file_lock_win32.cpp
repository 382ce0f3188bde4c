// File locks on Windows: LockFileEx on a handle of this process, which the
// system releases when the handle closes, however the process ends.
#include <windows.h>

#include "platform.h"

namespace platform {

FileLock FileLock::tryAcquire(const std::string& path) {
    // Others may open and remove the file; only the lock is exclusive.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return FileLock();
    OVERLAPPED whole{};
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                    MAXDWORD, &whole)) {
        CloseHandle(file);
        return FileLock();
    }
    return FileLock(reinterpret_cast<std::intptr_t>(file));
}

void FileLock::release() {
    if (handle_ == noHandle) return;
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = noHandle;
}

}  // namespace platform
