// What a Java runtime says about itself: its version in its "release" file
// (KEY="value" lines beside its bin and lib directories), and the VM options
// its image carries.
#pragma once

#include <optional>
#include <string>

namespace tessvik {

// The runtime's feature version (8 for "1.8.0_392", 17 for "17.0.15", 25 for
// "25") from JAVA_VERSION in the release file of the runtime that holds the
// library at runtimeLibraryPath. The file is looked for in the directories
// above the library (bin/server/jvm.dll, lib/server/libjvm.so and a Java 8
// jre/lib/amd64/server/libjvm.so all reach it). Nothing when there is no
// such file or it names no version.
std::optional<int> runtimeFeatureVersion(const std::string& runtimeLibraryPath);

// The path of the release file of the runtime that holds the library at
// runtimeLibraryPath, found as runtimeFeatureVersion finds it; "" when there
// is none.
std::string runtimeReleaseFile(const std::string& runtimeLibraryPath);

// The feature version in a JAVA_VERSION value: "1.x..." is x, else the number
// the value begins with. Nothing when the value does not begin with one.
std::optional<int> featureVersionOf(const std::string& javaVersion);

// The options a game team gave jlink with --add-options, which HotSpot applies
// before every other source: java.base's resource jdk/internal/vm/options in
// the image <home>/lib/modules of the runtime whose VM library is at
// runtimeLibraryPath, read through the runtime's own image library. The VM
// library must be loaded already (the image library links against it). The
// library stays loaded and the image open: the VM opens both again as it
// starts, and then finds them ready. Nothing for a runtime without an image
// (Java 8) or an image without options.
std::optional<std::string> runtimeImageOptions(const std::string& runtimeLibraryPath);

}  // namespace tessvik
