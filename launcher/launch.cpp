// The launch in the order it runs. Each stage finds what it finds once and
// writes it into the launcher record (java_launcher.h) or hands it on; a
// launch that cannot go on comes back here, where its failure is told once.
//
//  1. The modes: started to assemble an earlier launch's ahead-of-time cache,
//     or to watch a launch's end, the program does that instead.
//  2. Its directory: every path of the launch is built on the launcher's own.
//  3. The settings: LaunchConfig.ini read, or created; the debug console;
//     the launcher record made from them.
//  4. The runtime: found below ../runtime (or where the settings say) and
//     loaded; the game directory becomes the working directory.
//  5. The class path: the main jar, the other jars, lib/, the resource folders.
//  6. The options: VMParams as java takes them made the VM's, every source
//     the VM reads (the runtime image, the environment, VMParams, option
//     files), and the launcher's own list.
//  7. The plans: the main thread's stack (which may start the launcher once
//     more), where crash reports go, the start-up cache, the watcher.
//  8. The VM, created with the options (after the splash screen, when asked).
//  9. main, called with the command-line arguments.
// 10. The end: the VM destroyed, the cache's part done, a failure told.
#include "launch.h"

#include <optional>

#include "class_path.h"
#include "crash_reports.h"
#include "failure_notice.h"
#include "game_layout.h"
#include "java_launcher.h"
#include "java_options.h"
#include "java_vm.h"
#include "main_thread_stack.h"
#include "messages.h"
#include "platform/console.h"
#include "platform/paths.h"
#include "platform/processes.h"
#include "runtime_facts.h"
#include "runtime_location.h"
#include "splash_screen.h"
#include "startup_cache/aot_assembly.h"
#include "startup_cache/class_path_reach.h"
#include "startup_cache/startup_cache.h"
#include "vm_option_sources.h"
#include "vm_options.h"
#include "watcher.h"

namespace tessvik {

namespace {

// Windows before 10 1903 ignores the manifest's UTF-8 code page, and its
// narrow strings cannot hold a name outside the system's language.
constexpr const char* unrepresentableDirectory =
    "The game folder's path holds characters that this system's code page cannot represent: "
    "update to Windows 10 version 1903 or later, or move the game to a folder named in the "
    "system's language.";

// The end of every launch: a failure told once, the console let go.
int endLaunch(int status, LaunchFailure failure, const NoticeSettings& notices) {
    if (failure == LaunchFailure::vmRefused) closeSplashScreen();
    tellFailedLaunch(failure, notices);
    platform::freeConsole();
    return status;
}

// Every option the VM takes besides the launcher's, from every source.
std::vector<GivenVmOption> givenOptions(const JavaLauncher& launcher,
                                        const std::vector<std::string>& vmParams) {
    OptionVariables texts = optionVariablesOfEnvironment();
    texts.runtimeImage = runtimeImageOptions(launcher.loadedRuntimePath);
    return givenVmOptions(vmParams, texts);
}

// What the start-up cache decides by.
SharingInput sharingInput(const JavaLauncher& launcher, const VmOptionList& options,
                          const std::vector<GivenVmOption>& given) {
    SharingInput input;
    input.runtimeVersion = launcher.runtimeVersion;
    input.runtimeLibrary = launcher.loadedRuntimePath;
    input.gameDirectory = launcher.gameDirectory;
    input.gameName = launcher.gameName;
    input.vmOptions = options.with();
    input.givenOptions = vmOptionsInOrder(given, options);
    input.classPath = effectiveClassPath(input.givenOptions, platform::currentDirectory());
    input.cacheDirectory = platform::userCacheDirectory();
    return input;
}

// What the watcher is to do, for a launch with these settings and options.
WatcherPlan planWatcher(const NoticeSettings& notices, const std::vector<GivenVmOption>& given,
                        const CrashReportPlan& crashes) {
    WatcherPlan plan;
    plan.outputUnseen = outputUnseen(platform::observeOutput());
    plan.crashNotice = chooseCrashNotice(plan.outputUnseen, notices);
    plan.errorFile = errorFilePattern(given, crashes);
    plan.gameName = notices.gameName;
    return plan;
}

}  // namespace

int launch(const std::vector<std::string>& asGiven) {
    platform::openClosedStandardStreams();
    // 1. The modes.
    if (const std::optional<int> status = runRequestedAssembly()) return *status;
    if (const std::optional<int> status = runRequestedWatcher()) return *status;
    // Started again for a larger stack or without the cache, the launch wrote
    // its lines up to its plans already.
    const platform::LaunchStart start = platform::launchStart();
    // Started again without the cache its VM refused.
    const std::optional<std::string> refusedCache = cacheRefusedByAnEarlierStart();
    setQuiet(start == platform::LaunchStart::againForStack || refusedCache);

    // 2. Its directory.
    const std::optional<std::string> gameDirectory =
        executableDirectory(platform::executablePath());
    writeOut("Starting: ");
    if (!gameDirectory) {
        setQuiet(false);
        writeOut(platform::executablePathRepresentable()
                     ? "Cannot find the launcher's own directory."
                     : unrepresentableDirectory);
        return endLaunch(1, LaunchFailure::beforeVm, {});
    }

    // 3. The settings.
    LaunchSettings settings;
    settings.loadOrCreateConfig(platform::joinPath(*gameDirectory, settingsFileName));
    JavaLauncher launcher(settings, *gameDirectory);
    const NoticeSettings notices{settings.debugMode == 1, settings.showCrashNotice == 1,
                                 launcher.gameName};

    // 4. The runtime.
    locateDefaultRuntime(launcher);
    launcher.programArgs = platform::commandLineArguments(asGiven);
    if (!loadRuntime(launcher)) {
        setQuiet(false);
        return endLaunch(1, LaunchFailure::beforeVm, notices);
    }
    writeOut("Working Directory: " + launcher.gameDirectory);
    enterGameDirectory(launcher.gameDirectory);

    // 5. The class path.
    findMainJar(launcher);
    collectJars(launcher);

    // 6. The options; VMParams as java takes them become the VM's.
    const JavaOptions javaOptions = javaOptionsOf(settings.vmParams, launcher.gameDirectory);
    const std::vector<GivenVmOption> given = givenOptions(launcher, javaOptions.vmOptions);
    const VmOptionList options =
        javaVmOptions(launcher.gameDirectory, buildClassPathOption(launcher), launcher.nativeLibDir,
                      settings, javaOptions.vmOptions, launcher.runtimeVersion);

    // 7. The plans.
    const std::string stackShortfall = ensureMainThreadStack(given, asGiven, start);
    setQuiet(false);
    if (!stackShortfall.empty()) writeOut(stackShortfall);
    std::optional<StartupCacheLaunch> cache;
    if (refusedCache) {
        writeOut(withoutRefusedCache(*refusedCache).message);
    } else if (settings.classDataSharing) {
        cache.emplace(sharingInput(launcher, options, given));
        cache->startBackgroundWork();
        writeOut(cache->plan().message);
    }
    const CrashReportPlan crashes =
        prepareCrashReports(given, launcher.gameName, launcher.gameDirectory);
    // Where a crash report goes joins the options before those of the cache.
    std::vector<std::string> added = crashes.options;
    const bool cacheOptions = cache && !cache->plan().options.empty();
    if (cacheOptions) {
        added.insert(added.end(), cache->plan().options.begin(), cache->plan().options.end());
    }
    const std::vector<std::string> optionTexts = options.with(added);

    // 8. The VM, after the splash screen java would show, and with the
    // program's name that java adds to the options.
    showSplashScreen(javaOptions.splashImage, launcher.loadedRuntimePath);
    writeOut("Number of options: " + std::to_string(optionTexts.size()));
    writeOut("Create java VM!");
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    if (cacheOptions) cache->vmStarting(asGiven);
    const jint created =
        createWatchedJavaVm(launcher.runtimeModule,
                            withJavaCommand(optionTexts, launcher.mainClass, launcher.programArgs),
                            planWatcher(notices, given, crashes), &vm, &env);
    if (created != JNI_OK) {
        // The VM has already described a refused option on its own output.
        if (cacheOptions) cache->vmRefused();
        writeErr("Failed to create Java VM (error " + std::to_string(created) + ")");
        cache.reset();
        return endLaunch(1, LaunchFailure::vmRefused, notices);
    }
    if (cache) cache->vmStarted();

    // 9. main.
    const MainOutcome outcome = callMain(env, launcher.mainClass, launcher.programArgs);

    // 10. The end.
    const bool detached = endJavaVm(vm);
    if (cache) cache->vmEnded();
    cache.reset();
    if (outcome == MainOutcome::notCalled) {
        return endLaunch(1, LaunchFailure::vmRefused, notices);
    }
    const bool failed = outcome == MainOutcome::threw || !detached;
    return endLaunch(failed ? 1 : 0, failed ? LaunchFailure::clientFailed : LaunchFailure::none,
                     notices);
}

}  // namespace tessvik
