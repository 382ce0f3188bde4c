// Kernel handles on Windows, owned: closed when their owner ends.
#pragma once

#include <windows.h>

#include <utility>

namespace process {

// A kernel handle closed when its owner ends.
class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE handle = nullptr) : handle_(handle) {}
    ~OwnedHandle() { reset(); }
    OwnedHandle(OwnedHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        reset(std::exchange(other.handle_, nullptr));
        return *this;
    }

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    void reset(HANDLE handle = nullptr) {
        if (*this) CloseHandle(handle_);
        handle_ = handle;
    }

private:
    HANDLE handle_;
};

inline bool isHandle(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

// A second handle to the same object, or null.
inline HANDLE duplicate(HANDLE handle) {
    HANDLE copy = nullptr;
    if (!isHandle(handle) || !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(),
                                              &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        return nullptr;
    }
    return copy;
}

}  // namespace process
