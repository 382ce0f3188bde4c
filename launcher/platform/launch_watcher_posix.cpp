// A POSIX launcher's output and end are seen by whoever started it: it never
// starts a watcher, and no process is one.
#include "platform.h"

namespace platform {

struct LaunchWatcher::State {};

LaunchWatcher::LaunchWatcher(std::unique_ptr<State> state) : state_(std::move(state)) {}
LaunchWatcher::~LaunchWatcher() = default;
std::unique_ptr<LaunchWatcher> LaunchWatcher::start(const char*, bool) { return nullptr; }
bool LaunchWatcher::send(const std::string&) { return false; }
void LaunchWatcher::endCapture() {}
std::string LaunchWatcher::receive(unsigned) { return {}; }

struct WatchedLaunch::State {};

WatchedLaunch::WatchedLaunch(std::unique_ptr<State> state) : state_(std::move(state)) {}
WatchedLaunch::~WatchedLaunch() = default;
std::unique_ptr<WatchedLaunch> WatchedLaunch::fromVariable(const std::string&) { return nullptr; }
std::string WatchedLaunch::receive() { return {}; }
void WatchedLaunch::reply(const std::string&) {}
std::string WatchedLaunch::caughtOutput() { return {}; }
void WatchedLaunch::shareConsole() {}
int WatchedLaunch::waitForEnd() { return -1; }
std::uint64_t WatchedLaunch::processId() const { return 0; }
std::int64_t WatchedLaunch::startTime() const { return 0; }

}  // namespace platform
