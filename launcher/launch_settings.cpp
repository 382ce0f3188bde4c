// LaunchConfig.ini: read with Boost.PropertyTree's INI reader, created with
// its writer when it is missing. A value that does not convert takes its
// default, and is named (settings_values.h); a file that does not parse, or
// is too large to be one, is replaced as a whole once it is kept beside it. A
// file that cannot be read, and a link in the file's place, are left as they
// are, and the run uses the defaults.
#include "launch_settings.h"

#include <fstream>
#include <optional>
#include <string>

#include <boost/property_tree/ini_parser.hpp>
#include <boost/property_tree/ptree.hpp>

#include "messages.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "settings_file.h"
#include "settings_values.h"

namespace tessvik {

namespace pt = boost::property_tree;

namespace {

constexpr const char* defaultInitialHeap = "512m";
constexpr const char* defaultMaxHeapSize = "2048m";
constexpr const char* alwaysAddedVmParam = "-XX:+AggressiveOpts";
constexpr const char* defaultMainJar = "client.jar";
constexpr const char* defaultMainClass = "com.zarnhall.client.launcherfx.ZarnMain";

// The name under which a settings file that cannot be used is kept.
std::string rejectedPathOf(const std::string& path) { return path + ".rejected"; }

// Keeps the bytes of a settings file that does not parse beside it, byte for
// byte, before the default file replaces it, so that the user's settings are
// not lost.
bool keepRejectedCopy(const std::string& path, const std::string& bytes) {
    const std::string copy = rejectedPathOf(path);
    if (!writeFileBytes(copy, bytes)) {
        writeOut("Cannot keep a copy as " + copy + ", so the file is left as it is.");
        return false;
    }
    writeOut("The rejected file is kept as " + copy);
    return true;
}

// Moves a settings file too large to read out of the way: renamed, since a
// copy would have to read it.
bool keepRejectedFile(const std::string& path) {
    const std::string kept = rejectedPathOf(path);
    if (!mayWriteSettingsFile(kept) || !platform::renameFile(path, kept)) {
        writeOut("Cannot rename it to " + kept + ", so the file is left as it is.");
        return false;
    }
    writeOut("The rejected file is kept as " + kept);
    return true;
}

// After a failed read: true when the default file may take the settings
// file's place, once what stood there is kept. A link is never written
// through nor replaced, and a file that could not be read to its end is the
// user's and stays as it is; the run then uses the defaults.
bool makeRoomForDefaultFile(const std::string& path, const SettingsFileFailure& failure) {
    switch (failure.fault) {
        // Nothing to keep; the writer refuses what it may not write.
        case SettingsFileFault::missing:
        case SettingsFileFault::notAFile: return true;
        default: break;
    }
    if (failure.isLink || failure.fault == SettingsFileFault::unreadable) {
        writeOut(path + " is left as it is; this run uses the default settings.");
        return false;
    }
    return failure.fault == SettingsFileFault::tooLarge
               ? keepRejectedFile(path)
               : keepRejectedCopy(path, failure.text.value_or(""));
}

}  // namespace

LaunchSettings::LaunchSettings()
    : debugMode(0),
      verboseJni(0),
      verboseGC(0),
      verboseClass(0),
      overrideDefaultJavaPath(0),
      cleanLogsOnStart(1),
      classDataSharing(0),
      showCrashNotice(1),
      initialHeap(defaultInitialHeap),
      maxHeapSize(defaultMaxHeapSize),
      mainJar(defaultMainJar),
      mainClass(defaultMainClass) {}

void LaunchSettings::loadOrCreateConfig(const std::string& path) {
    SettingsFileFailure failure;
    if (!readConfig(path, &failure) && makeRoomForDefaultFile(path, failure) &&
        !writeConfig(path)) {
        writeOut("Failed to create ini.");
    }
    if (debugMode) platform::openDebugConsole();
}

bool LaunchSettings::readConfig(const std::string& path, SettingsFileFailure* failure) {
    pt::ptree tree;
    try {
        readSettingsFile(path, tree, failure);
    } catch (const pt::ptree_error& error) {
        writeOut(std::string("Error: ") + error.what());
        return false;
    }
    decodeSettingsValues(tree);
    nameUnknownEntries(tree);

    overrideDefaultJavaPath = readBoolean(tree, "Runtime", "OverrideDefaultJavaPath", false);
    javaPath = readText(tree, "Runtime", "JavaPath");
    // Not written into the default file: sharing is something a game turns on.
    classDataSharing = readBoolean(tree, "Runtime", "ClassDataSharing", false);
    initialHeap = readRequired(tree, "Memory", "InitialHeap", defaultInitialHeap, ValueKind::size);
    maxHeapSize = readRequired(tree, "Memory", "MaxHeapSize", defaultMaxHeapSize, ValueKind::size);
    cleanLogsOnStart = readBoolean(tree, "Utility", "CleanLogsOnStart", false);
    const std::vector<std::string> params = readVmParams(tree);
    vmParams.insert(vmParams.end(), params.begin(), params.end());

    debugMode = readDebugFlag(tree, "Debug", "DebugMode");
    verboseJni = readDebugFlag(tree, "Debug", "VerboseJni");
    verboseGC = readDebugFlag(tree, "Debug", "VerboseGC");
    verboseClass = readDebugFlag(tree, "Debug", "VerboseClass");
    // Off for a game that reports its crashes itself; not in the default file.
    showCrashNotice = readBoolean(tree, "Debug", "ShowCrashNotice", true);

    // A game's own jar and class; the default file names neither.
    mainJar = readRequired(tree, "Game", "MainJar", defaultMainJar, ValueKind::name);
    mainClass = readRequired(tree, "Game", "MainClass", defaultMainClass, ValueKind::name);
    gameName = readText(tree, "Game", "Name");
    return true;
}

bool LaunchSettings::writeConfig(const std::string& path) {
    pt::ptree tree;
    tree.put("Runtime.OverrideDefaultJavaPath", static_cast<bool>(overrideDefaultJavaPath));
    tree.put("Runtime.JavaPath", javaPath);
    tree.put("Memory.InitialHeap", initialHeap);
    tree.put("Memory.MaxHeapSize", maxHeapSize);

    vmParams.push_back(alwaysAddedVmParam);
    for (int i = 0; i < static_cast<int>(vmParams.size()); ++i) {
        tree.put("VMParams.JvmParam" + std::to_string(i), vmParams[static_cast<std::size_t>(i)]);
    }

    try {
        // Never into a FIFO or a device, which could wait for ever, nor
        // through a link, which could lead out of the game's tree.
        if (!mayWriteSettingsFile(path)) throw pt::ini_parser_error("cannot open file", path, 0);
        // The stream is opened here rather than by the writer so that a
        // write that fails after opening (a full disk) is seen as well.
        std::ofstream stream(path, std::ios::out | std::ios::trunc);
        if (!stream) throw pt::ini_parser_error("cannot open file", path, 0);
        stream.imbue(std::locale());
        pt::write_ini(stream, tree);
        stream.close();
        if (!stream) throw pt::ini_parser_error("write error", path, 0);
    } catch (const pt::ptree_error& error) {
        writeErr(error.what());
        return false;
    }
    return true;
}

}  // namespace tessvik
