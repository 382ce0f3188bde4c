// The splash screen of -splash:<image>, shown before the VM starts as java
// shows it: by the runtime's own splash-screen library (libsplashscreen.so,
// splashscreen.dll beside the runtime's other libraries). java.awt's
// SplashScreen then finds that library loaded, the very file it loads
// itself, with the image on screen, and the client's first window closes it.
#pragma once

#include <string>

namespace tessvik {

// Shows image (a path) through the splash-screen library of the runtime whose
// VM library is runtimeLibrary; nothing for "". Where it cannot be shown (a
// runtime without the library, an image that does not read, no display), one
// line says so and the launch goes on without it.
void showSplashScreen(const std::string& image, const std::string& runtimeLibrary);

// Closes the splash screen shown, if one is: the VM did not start, and the
// player is to see why instead.
void closeSplashScreen();

}  // namespace tessvik
