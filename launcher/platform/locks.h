// Locks between launches: an exclusive lock on a lock file, held until its
// owner ends or the process does (a process that crashes or is killed leaves
// no lock behind).
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace tessvik::platform {

class FileLock {
public:
    FileLock() = default;
    ~FileLock() { release(); }
    FileLock(FileLock&& other) noexcept : handle_(std::exchange(other.handle_, noHandle)) {}
    FileLock& operator=(FileLock&& other) noexcept {
        if (this != &other) {
            release();
            handle_ = std::exchange(other.handle_, noHandle);
        }
        return *this;
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Creates the file at path when it is missing and locks it without
    // waiting: no lock when another process (or another owner here) holds it.
    static FileLock tryAcquire(const std::string& path);
    // The same, waiting for as long as another holds it.
    static FileLock acquire(const std::string& path);
    // Locks the file at path without creating it or waiting. gone: there is
    // none, or its holder removed it while ending normally.
    enum class Probe { acquired, held, gone };
    static FileLock probe(const std::string& path, Probe& outcome);

    bool held() const { return handle_ != noHandle; }
    void release();

private:
    static constexpr std::intptr_t noHandle = -1;
    explicit FileLock(std::intptr_t handle) : handle_(handle) {}
    std::intptr_t handle_ = noHandle;
};

}  // namespace tessvik::platform
