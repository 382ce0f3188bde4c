// A lock for code of both deliverables and the simulated Steam client: std::mutex
// where the C++ library has one. The Windows cross toolchain (MinGW-w64 with the
// win32 thread model) has none, so there a slim reader/writer lock of the system,
// taken exclusively, stands in (mutex_win32.cpp). Either works with std::unique_lock
// and std::lock_guard, and needs no destruction of the system's.
#pragma once

#include <mutex>

namespace locking {

#if defined(_WIN32)
class Mutex {
public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void lock();
    void unlock();

private:
    void* srwLock_ = nullptr;  // an SRWLOCK: one pointer, unlocked while zero
};
#else
using Mutex = std::mutex;
#endif

}  // namespace locking
