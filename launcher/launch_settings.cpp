// LaunchConfig.ini: read with Boost.PropertyTree's INI reader, created with
// its writer when it cannot be read. A value that does not convert takes its
// default; a file that does not parse is replaced as a whole, once its text
// is kept beside it.
#include "launch_settings.h"

#include <exception>
#include <fstream>
#include <optional>
#include <string>

#include <boost/property_tree/ini_parser.hpp>
#include <boost/property_tree/ptree.hpp>

#include "java_launcher.h"
#include "messages.h"
#include "platform/platform.h"
#include "settings_file.h"

namespace pt = boost::property_tree;

namespace {

constexpr const char* settingsFileName = "LaunchConfig.ini";
constexpr const char* defaultInitialHeap = "512m";
constexpr const char* defaultMaxHeapSize = "2048m";
constexpr const char* alwaysAddedVmParam = "-XX:+AggressiveOpts";

// A Debug key: the lowest bit of a decimal integer switches the flag.
std::uint32_t debugFlag(const pt::ptree& tree, const char* path) {
    return static_cast<std::uint32_t>(tree.get<int>(path, 0)) & 1u;
}

// Keeps the text of a settings file that does not parse beside it, before
// the default file replaces it, so that the user's settings are not lost.
bool keepRejectedText(const std::string& path, const std::string& text) {
    const std::string copy = path + ".rejected";
    if (!writeTextFile(copy, text)) {
        writeOut("Cannot keep a copy as " + copy + ", so the file is left as it is.");
        return false;
    }
    writeOut("The rejected file is kept as " + copy);
    return true;
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
      initialHeap(defaultInitialHeap),
      maxHeapSize(defaultMaxHeapSize) {}

void LaunchSettings::loadOrCreateConfig() {
    const std::string path = executableDirectory() + platform::pathSeparator + settingsFileName;
    std::optional<std::string> rejectedText;
    if (!readConfig(path, &rejectedText)) {
        // A file that was read but did not parse is replaced only once its
        // text is kept.
        if ((!rejectedText || keepRejectedText(path, *rejectedText)) && !writeConfig(path)) {
            writeOut("Failed to create ini.");
        }
    }
    if (debugMode) platform::openDebugConsole();
}

bool LaunchSettings::readConfig(const std::string& path, std::optional<std::string>* rejectedText) {
    pt::ptree tree;
    std::optional<std::string> text;
    try {
        readSettingsFile(path, tree, text);
    } catch (const pt::ptree_error& error) {
        writeOut(std::string("Error: ") + error.what());
        if (rejectedText != nullptr) *rejectedText = std::move(text);
        return false;
    }

    // Booleans read as 0 or 1, else as the lower-case words true and false.
    overrideDefaultJavaPath = tree.get<bool>("Runtime.OverrideDefaultJavaPath", false);
    javaPath = tree.get<std::string>("Runtime.JavaPath", "");
    initialHeap = tree.get<std::string>("Memory.InitialHeap", defaultInitialHeap);
    maxHeapSize = tree.get<std::string>("Memory.MaxHeapSize", defaultMaxHeapSize);
    cleanLogsOnStart = tree.get<bool>("Utility.CleanLogsOnStart", false);
    // Not written into the default file: sharing is something a game turns on.
    classDataSharing = tree.get<bool>("Runtime.ClassDataSharing", false);

    // Every entry of VMParams in file order, whatever its name.
    try {
        for (const pt::ptree::value_type& entry : tree.get_child("VMParams")) {
            vmParams.push_back(entry.second.get_value<std::string>());
        }
    } catch (const std::exception&) {
        // No VMParams section: no extra options.
    }

    debugMode = debugFlag(tree, "Debug.DebugMode");
    verboseJni = debugFlag(tree, "Debug.VerboseJni");
    verboseGC = debugFlag(tree, "Debug.VerboseGC");
    verboseClass = debugFlag(tree, "Debug.VerboseClass");
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
        // Never into a FIFO or a device: that could wait for ever.
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
