// libFuzzer target: any bytes as LaunchConfig.ini must give a reading or an
// error message, never a crash, a leak or undefined behaviour. A file that
// does not parse hands back its whole text (to be kept), one that does names
// its mistakes on lines of their own and leaves no size or name the launcher
// needs empty, and a UTF-8 byte-order mark in front of a file changes nothing.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>

#include "launch_settings.h"
#include "settings_file.h"

using namespace tessvik;

namespace {

const std::string& settingsPath() {
    static const std::string path = [] {
        const char* base = std::getenv("TMPDIR");
        return std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/tessvik-fuzz-" +
               std::to_string(getpid()) + ".ini";
    }();
    return path;
}

struct Reading {
    bool read;
    std::string messages;
    LaunchSettings settings;
};

Reading readAsSettingsFile(const std::string& text) {
    {
        std::ofstream file(settingsPath(), std::ios::binary | std::ios::trunc);
        file.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    std::ostringstream sink;
    std::streambuf* saved = std::cout.rdbuf(sink.rdbuf());
    Reading reading{false, {}, {}};
    SettingsFileFailure failure;
    reading.read = reading.settings.readConfig(settingsPath(), &failure);
    std::cout.rdbuf(saved);
    reading.messages = sink.str();
    std::remove(settingsPath().c_str());

    const LaunchSettings& s = reading.settings;
    if (!reading.read) {
        // A failed read leaves the settings as they were, and a file that
        // could be read gives back exactly what it held.
        if (s.initialHeap != "512m" || !s.vmParams.empty()) std::abort();
        if (text.size() <= largestSettingsFile && failure.text != text) std::abort();
        return reading;
    }
    std::istringstream lines(reading.messages);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("LaunchConfig.ini: ", 0) != 0) std::abort();
    }
    if (s.initialHeap.empty() || s.mainClass.empty()) std::abort();
    return reading;
}

bool sameSettings(const LaunchSettings& a, const LaunchSettings& b) {
    return a.debugMode == b.debugMode && a.verboseJni == b.verboseJni &&
           a.verboseGC == b.verboseGC && a.verboseClass == b.verboseClass &&
           a.overrideDefaultJavaPath == b.overrideDefaultJavaPath &&
           a.cleanLogsOnStart == b.cleanLogsOnStart && a.initialHeap == b.initialHeap &&
           a.maxHeapSize == b.maxHeapSize && a.javaPath == b.javaPath && a.vmParams == b.vmParams &&
           a.classDataSharing == b.classDataSharing && a.showCrashNotice == b.showCrashNotice &&
           a.mainJar == b.mainJar && a.mainClass == b.mainClass && a.gameName == b.gameName;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string mark = "\xEF\xBB\xBF";
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Reading plain = readAsSettingsFile(text);
    if (text.compare(0, mark.size(), mark) != 0) {
        const Reading marked = readAsSettingsFile(mark + text);
        if (marked.read != plain.read || marked.messages != plain.messages ||
            !sameSettings(marked.settings, plain.settings)) {
            std::abort();
        }
    }
    return 0;
}
