// A file lock's ownership, the same on every system: the lock goes with the
// object that holds it; taking and letting go are each system's own.
#include <utility>

#include "platform.h"

namespace platform {

FileLock::~FileLock() { release(); }

FileLock::FileLock(FileLock&& other) noexcept : handle_(std::exchange(other.handle_, noHandle)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        release();
        handle_ = std::exchange(other.handle_, noHandle);
    }
    return *this;
}

}  // namespace platform
