// The launcher's one directory search: the runtime below ../runtime, the jars
// of the class path, the class files of a class path folder.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/directories.h"

namespace tessvik {

// How a search picks the files it finds.
enum class FileMatch {
    exactName,  // every entry is listed, and a file counts when its name is name, byte for byte
    pattern,    // name is the platform's listing pattern ("*.jar", "client.jar")
};

// Where a search looks.
enum class Descent {
    thisDirectory,  // the directory itself, not its subdirectories
    wholeTree,      // each subdirectory searched completely where the listing meets it
                    // (depth-first), except one the search has already entered by
                    // another path (a link)
};

// Calls visit for every file (not directory) of directory that the listing
// pattern selects, as the descent says, until visit returns false. False when
// visit stopped the search.
bool visitFiles(const std::string& directory, const std::string& pattern, Descent descent,
                const std::function<bool(const std::string& directory,
                                         const platform::DirectoryEntry& file)>& visit);

// Appends to results the full path of every file of directory that matches
// name, in the order found.
void findFiles(const std::string& directory, const std::string& name,
               std::vector<std::string>& results, FileMatch match, Descent descent);

}  // namespace tessvik
