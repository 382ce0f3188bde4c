// Application class-data sharing for the client: the launcher keeps a dynamic
// class-data archive of the classes the client loads, in the user's cache,
// and has the Java VM map it at start instead of loading and verifying those
// classes again. The archive's name carries the identity of everything it
// depends on (the runtime, the class path files, the VM options), so a game
// update or a new runtime makes a new one; the VM writes it at the end of a
// run that had none.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct JavaLauncher;

struct SharingInput {
    std::optional<int> runtimeVersion;  // feature version, from the release file
    std::string runtimeLibrary;         // the VM library that was loaded
    std::string gameDirectory;
    std::vector<std::string> classPath;  // every entry, files and directories
    std::vector<std::string> vmOptions;  // the launch's options without sharing
    std::string cacheDirectory;          // the user's cache directory, "" for none
};

struct SharingPlan {
    std::vector<std::string> options;  // to add after the user's VM options
    std::string message;               // one line for standard output
};

// Decides the archive and its options, and prepares the archive's directory:
// makes it, removes older archives of the same game and an archive that is
// damaged or of another VM. Java 19 and later create and refresh the archive
// themselves; Java 13 to 18 either use a complete archive or write one at the
// end of this run; older or unknown runtimes get no options.
SharingPlan planClassDataSharing(const SharingInput& input);

// The plan for this launch, with its line written on standard output.
std::vector<std::string> classDataSharingOptions(const JavaLauncher& launcher,
                                                 const std::string& classPathOption);
