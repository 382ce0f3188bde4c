// Making a directory with its missing parents, the same on every system above
// each system's own makeDirectory.
#include "platform.h"

namespace platform {

bool makeDirectories(const std::string& path) {
    if (fileStatus(path).isDirectory) return true;
    const std::string parent = directoryOf(path);
    if (parent.empty() || parent == path) return false;
    return makeDirectories(parent) && makeDirectory(path);
}

}  // namespace platform
