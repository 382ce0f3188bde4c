// File locks on Windows: LockFileEx on a handle of this process, which the
// system releases when the handle closes, however the process ends. A lock
// file that its holder removed cannot be opened any more (it is deleted when
// the holder's handle closes), which tells a normal end.
#include <windows.h>

#include "locks.h"

namespace tessvik::platform {

namespace {

HANDLE openLockFile(const std::string& path, bool create) {
    // Others may open and remove the file; only the lock is exclusive.
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool lock(HANDLE file, bool wait) {
    OVERLAPPED whole{};
    return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY), 0,
                      MAXDWORD, MAXDWORD, &whole) != 0;
}

FileLock::Probe locked(HANDLE file, bool wait) {
    if (file == INVALID_HANDLE_VALUE) return FileLock::Probe::gone;
    if (lock(file, wait)) return FileLock::Probe::acquired;
    CloseHandle(file);
    return FileLock::Probe::held;
}

}  // namespace

FileLock FileLock::tryAcquire(const std::string& path) {
    HANDLE file = openLockFile(path, true);
    if (locked(file, false) != Probe::acquired) return FileLock();
    return FileLock(reinterpret_cast<std::intptr_t>(file));
}

FileLock FileLock::acquire(const std::string& path) {
    HANDLE file = openLockFile(path, true);
    if (locked(file, true) != Probe::acquired) return FileLock();
    return FileLock(reinterpret_cast<std::intptr_t>(file));
}

FileLock FileLock::probe(const std::string& path, Probe& outcome) {
    HANDLE file = openLockFile(path, false);
    outcome = locked(file, false);
    if (outcome != Probe::acquired) return FileLock();
    return FileLock(reinterpret_cast<std::intptr_t>(file));
}

void FileLock::release() {
    if (handle_ == noHandle) return;
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = noHandle;
}

}  // namespace tessvik::platform
