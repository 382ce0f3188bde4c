// Tessvik: starts the game client in a Java VM inside this process. The
// launch itself, stage by stage, is launch.cpp.
#ifdef _WIN32
#include <windows.h>
#endif

#include <csignal>
#include <string>
#include <vector>

#include "launch.h"

#ifdef _WIN32
// A GUI program: it reads its command line itself and uses none of these.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return tessvik::launch({}); }
#else
int main(int argc, char** argv) {
    // A closed output (a logger that died, `tessvik | true`) must not end the
    // launch: its lines then go nowhere. The VM sets its own handler later.
    std::signal(SIGPIPE, SIG_IGN);
    return tessvik::launch(std::vector<std::string>(argv, argv + argc));
}
#endif
