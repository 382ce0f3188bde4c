// The two file-system routines the whole launcher shares: the executable's
// directory and the directory search.
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "java_launcher.h"
#include "platform/platform.h"

std::string executableDirectory() { return platform::directoryOf(platform::executablePath()); }

std::optional<std::string> directoryHoldingExecutable(const std::string& executablePath) {
    // A path naming a regular file shows that its directory part is a
    // directory holding it. A path the platform could not give ("") or gave
    // in a form that names no file (a deleted executable's "... (deleted)", a
    // name without a directory) shows nothing.
    const std::string directory = platform::directoryOf(executablePath);
    if (directory.empty() || platform::isPathSeparator(executablePath.back()) ||
        !platform::isRegularFile(executablePath)) {
        return std::nullopt;
    }
    return directory;
}

void findFiles(std::string directory, std::string name, std::vector<std::string>& results,
               bool matchByName, bool recurse) {
    const std::string pattern = matchByName ? std::string("*.*") : name;

    // The search keeps its own stack of open listings instead of calling
    // itself, so a deep tree cannot exhaust the thread's stack.
    struct Listing {
        std::string directory;
        std::vector<platform::DirectoryEntry> entries;
        std::size_t next = 0;
    };
    std::vector<Listing> open;
    // Every directory is entered once in the whole search, whichever path
    // reaches it: a link back up the tree makes no cycle, and links that reach
    // one directory by many paths (two links to the next directory at each
    // of 20 levels make a million paths) cost one listing each.
    std::set<std::string> entered;
    const auto enter = [&](std::string path) {
        Listing listing;
        std::string identity;
        if (!platform::listDirectory(path, pattern, listing.entries,
                                     recurse ? &identity : nullptr)) {
            return;
        }
        if (!identity.empty() && !entered.insert(std::move(identity)).second) return;
        listing.directory = std::move(path);
        open.push_back(std::move(listing));
    };

    enter(std::move(directory));
    while (!open.empty()) {
        Listing& listing = open.back();
        if (listing.next == listing.entries.size()) {
            open.pop_back();
            continue;
        }
        const platform::DirectoryEntry& entry = listing.entries[listing.next++];
        if (entry.isDirectory) {
            if (!recurse || entry.name == "." || entry.name == "..") continue;
            // Entering adds a listing and so invalidates listing and entry.
            std::string subdirectory = listing.directory + platform::pathSeparator + entry.name;
            enter(std::move(subdirectory));
            continue;
        }
        if (matchByName && entry.name != name) continue;
        results.push_back(listing.directory + platform::pathSeparator + entry.name);
    }
}
