// VMParams as game teams write them: as java's command line takes them. Some
// of those options are java's own, or the VM takes them only in another form;
// here they become the options the VM takes, and what the launcher does in
// java's place (a splash screen). The launch applies this once, before any
// other stage reads the options.
#pragma once

#include <string>
#include <vector>

namespace tessvik {

struct JavaOptions {
    std::vector<std::string> vmOptions;  // in the forms the VM takes, in order
    std::string splashImage;             // -splash:'s image, "" without one
};

// The VM's options for VMParams written as java takes them:
// - the two-word forms of --add-opens, --add-exports, --add-reads,
//   --add-modules, --enable-native-access, --module-path (-p),
//   --upgrade-module-path, --limit-modules and --patch-module, the value in
//   the next entry or after blanks in the same one, become "--name=value";
// - -splash:<image> names the splash screen's image (the last one counts; a
//   relative path is taken from the game directory) and reaches no VM;
// - -client and -server choose nothing and are dropped, as java drops them.
// Everything else is passed as it stands.
JavaOptions javaOptionsOf(const std::vector<std::string>& vmParams,
                          const std::string& gameDirectory);

// The options with the one java adds last: sun.java.command, the main class
// (dotted) and the arguments after the program's name, blank-separated, by
// which jps, jcmd, crash reports and flight recordings name the program.
// HotSpot leaves it out of the VM's input arguments.
std::vector<std::string> withJavaCommand(std::vector<std::string> options,
                                         const std::string& mainClass,
                                         const std::vector<std::string>& programArgs);

}  // namespace tessvik
