// A POSIX launcher's output and end are seen by whoever started it: it never
// starts a watcher, and no process is one.
#include "watcher_link.h"

namespace tessvik::platform {

struct WatcherLink::State {};

WatcherLink::WatcherLink(std::unique_ptr<State> state) : state_(std::move(state)) {}
WatcherLink::~WatcherLink() = default;
std::unique_ptr<WatcherLink> WatcherLink::start(const char*, OutputCapture) { return nullptr; }
bool WatcherLink::send(const std::string&) { return false; }
void WatcherLink::endCapture() {}
std::string WatcherLink::receive(unsigned) { return {}; }

struct LauncherLink::State {};

LauncherLink::LauncherLink(std::unique_ptr<State> state) : state_(std::move(state)) {}
LauncherLink::~LauncherLink() = default;
std::unique_ptr<LauncherLink> LauncherLink::fromVariable(const std::string&) { return nullptr; }
std::string LauncherLink::receive() { return {}; }
void LauncherLink::reply(const std::string&) {}
std::string LauncherLink::caughtOutput() { return {}; }
void LauncherLink::shareConsole() {}
int LauncherLink::waitForEnd() { return -1; }
std::uint64_t LauncherLink::processId() const { return 0; }
std::int64_t LauncherLink::startTime() const { return 0; }

}  // namespace tessvik::platform
