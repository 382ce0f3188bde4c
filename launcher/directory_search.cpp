#include "directory_search.h"

#include <set>

#include "platform/paths.h"

namespace tessvik {

bool visitFiles(const std::string& directory, const std::string& pattern, Descent descent,
                const std::function<bool(const std::string& directory,
                                         const platform::DirectoryEntry& file)>& visit) {
    // The search keeps its own stack of open listings instead of calling
    // itself, so a deep tree cannot exhaust the thread's stack.
    struct Listing {
        std::string directory;
        std::vector<platform::DirectoryEntry> entries;
        std::size_t next = 0;
    };
    const bool recurse = descent == Descent::wholeTree;
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

    enter(directory);
    while (!open.empty()) {
        Listing& listing = open.back();
        if (listing.next == listing.entries.size()) {
            open.pop_back();
            continue;
        }
        const platform::DirectoryEntry& entry = listing.entries[listing.next++];
        if (!entry.isDirectory) {
            if (!visit(listing.directory, entry)) return false;
        } else if (recurse) {
            // Entering adds a listing and so invalidates listing and entry.
            enter(platform::joinPath(listing.directory, entry.name));
        }
    }
    return true;
}

void findFiles(const std::string& directory, const std::string& name,
               std::vector<std::string>& results, FileMatch match, Descent descent) {
    const bool exact = match == FileMatch::exactName;
    visitFiles(directory, exact ? "*.*" : name, descent,
               [&](const std::string& folder, const platform::DirectoryEntry& file) {
                   if (!exact || file.name == name) {
                       results.push_back(platform::joinPath(folder, file.name));
                   }
                   return true;
               });
}

}  // namespace tessvik
