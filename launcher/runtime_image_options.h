// The VM options a runtime image carries for itself: those a game team gave
// jlink with --add-options, which HotSpot applies before every other source.
#pragma once

#include <optional>
#include <string>

// The options text of the runtime whose VM library is at runtimeLibraryPath,
// as HotSpot finds it: java.base's resource jdk/internal/vm/options in the
// image <home>/lib/modules, read through the runtime's own image library.
// The VM library must be loaded already (the image library links against it).
// The library stays loaded and the image open: the VM opens both again as it
// starts, and then finds them ready. Nothing for a runtime without an image
// (Java 8) or an image without options.
std::optional<std::string> runtimeImageOptions(const std::string& runtimeLibraryPath);
