// Tessvik: starts the game client in a Java VM inside this process.
//
//  1. "Starting: "; the launcher's own directory must be known
//  2. the settings: LaunchConfig.ini read, or created; the debug console
//  3. the launcher record with the game tree's fixed layout
//  4. the default runtime below ../runtime
//  5. the command-line arguments for the Java main method
//  6. preparation: the runtime loaded, the working directory, the class path
//  7. the VM and the client's main method; when it fails with the debug
//     console open, a pause so the reason can be read; or
//  8. after a failed preparation, a pause so the messages can be read
//  9. the launcher record released, the console freed, the settings released
// 10. the exit status
#ifdef _WIN32
#include <windows.h>
#endif

#include <csignal>
#include <optional>

#include "startup_cache/aot_assembly.h"
#include "failure_notice.h"
#include "java_launcher.h"
#include "launch_settings.h"
#include "launch_watch.h"
#include "main_thread_stack.h"
#include "messages.h"
#include "platform/platform.h"

namespace {

// Windows before 10 1903 ignores the manifest's UTF-8 code page, and its
// narrow strings cannot hold a name outside the system's language.
constexpr const char* unrepresentableDirectory =
    "The game folder's path holds characters that this system's code page cannot represent: "
    "update to Windows 10 version 1903 or later, or move the game to a folder named in the "
    "system's language.";

int launch() {
    // Started by an earlier launch to assemble its ahead-of-time cache.
    if (const std::optional<int> status = runRequestedAssembly()) return *status;
    // Started by this launch's VM start to watch how the launch ends.
    if (const std::optional<int> status = runRequestedWatch()) return *status;
    const std::optional<std::string> directory =
        directoryHoldingExecutable(platform::executablePath());
    // Before any output: this may start the launcher again with a larger stack.
    if (directory) ensureMainThreadStack(platform::joinPath(*directory, "LaunchConfig.ini"));
    writeOut("Starting: ");
    // Without its own directory the launcher would read and write its
    // settings and search for the runtime relative to the file-system root.
    if (!directory) {
        writeOut(platform::executablePathRepresentable()
                     ? "Cannot find the launcher's own directory."
                     : unrepresentableDirectory);
        noticeFailedLaunch(true);
        platform::freeConsole();
        return 1;
    }

    LaunchSettings settings;
    settings.loadOrCreateConfig();

    int status = 1;
    {
        JavaLauncher launcher(settings);
        assignGameLayout(launcher);
        launcher.locateDefaultRuntime();
        launcher.programArgs = platform::commandLineArguments();
        if (launcher.prepare()) {
            status = launcher.run();
            if (status != 0) noticeFailedClient();
        } else {
            // The pause, or the messages in a box when nobody can see them.
            noticeFailedLaunch(true);
            status = 1;
        }
    }
    platform::freeConsole();
    return status;
}

}  // namespace

#ifdef _WIN32
// A GUI program: it reads its command line itself and uses none of these.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return launch(); }
#else
int main(int argc, char** argv) {
    // A closed output (a logger that died, `tessvik | true`) must not end the
    // launch: its lines then go nowhere. The VM sets its own handler later.
    std::signal(SIGPIPE, SIG_IGN);
    platform::setProgramArguments(argc, argv);
    return launch();
}
#endif
