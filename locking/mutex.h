// The simulator's lock: std::mutex where the C++ library has one. The Windows
// cross toolchain (MinGW-w64 with the win32 thread model) has none, so there a
// slim reader/writer lock of the system, taken exclusively, stands in
// (mutex_win32.cpp). Either works with std::unique_lock.
#pragma once

#include <mutex>

namespace steamsim {

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

}  // namespace steamsim
