// The launch options of one run, read from LaunchConfig.ini beside the
// launcher in the game directory (or written there as a default file when it
// cannot be read).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessvik {

struct SettingsFileFailure;

struct LaunchSettings {
    // The flags word: eight one-bit flags from bit 0 upward.
    std::uint32_t debugMode : 1;
    std::uint32_t verboseJni : 1;
    std::uint32_t verboseGC : 1;
    std::uint32_t verboseClass : 1;
    std::uint32_t overrideDefaultJavaPath : 1;
    std::uint32_t cleanLogsOnStart : 1;  // read, never acted on
    std::uint32_t classDataSharing : 1;  // keep a class-data archive for the client
    std::uint32_t showCrashNotice : 1;   // a box (or a console line) names a crash's report
    std::uint32_t : 24;

    std::string initialHeap;
    std::string maxHeapSize;
    std::string javaPath;
    std::vector<std::string> vmParams;
    // [Game]: the main jar's file name in the game directory, the main class
    // as the file names it (dots or slashes), and the game's name for the
    // user's folders and the launcher's boxes ("": the install folder's name).
    std::string mainJar;
    std::string mainClass;
    std::string gameName;

    LaunchSettings();

    // Reads the settings file at path (LaunchConfig.ini in the game
    // directory), writes the default file when that fails, then opens the
    // debug console when debugMode is on.
    void loadOrCreateConfig(const std::string& path);
    // On failure, failure (when given) says what stood at path: whether it
    // may be replaced, and the bytes of a file that does not parse, to be
    // kept before it is.
    bool readConfig(const std::string& path, SettingsFileFailure* failure = nullptr);
    // Appends "-XX:+AggressiveOpts" to vmParams, then writes the file.
    bool writeConfig(const std::string& path);
};

}  // namespace tessvik
