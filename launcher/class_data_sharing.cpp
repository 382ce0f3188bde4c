#include "class_data_sharing.h"

#include <cstdint>
#include <set>

#include "class_data_archive.h"
#include "java_launcher.h"
#include "messages.h"
#include "platform/platform.h"
#include "vm_options.h"

namespace {

constexpr int firstDynamicArchiveVersion = 13;  // -XX:ArchiveClassesAtExit
constexpr int firstAutoArchiveVersion = 19;     // -XX:+AutoCreateSharedArchive
// The runtime's default archive, beside its VM library; a dynamic archive
// extends it and is useless without it.
constexpr const char* baseArchiveName = "classes.jsa";
constexpr const char* cacheFolderName = "Tessvik";
constexpr const char* archivePrefix = "classes-";
constexpr const char* archiveSuffix = ".jsa";
constexpr const char* notAvailable = "Class data sharing is not available for this runtime";

std::string join(const std::string& directory, const std::string& name) {
    return directory + platform::pathSeparator + name;
}

// The last component of path, separators at its end ignored.
std::string lastComponent(std::string path) {
    while (!path.empty() && platform::isPathSeparator(path.back())) path.pop_back();
    std::size_t begin = path.size();
    while (begin > 0 && !platform::isPathSeparator(path[begin - 1])) --begin;
    return path.substr(begin);
}

std::string directoryOf(const std::string& path) {
    std::size_t end = path.size();
    while (end > 0 && !platform::isPathSeparator(path[end - 1])) --end;
    return end > 1 ? path.substr(0, end - 1) : path.substr(0, end);
}

// 64-bit FNV-1a, as 16 hex digits: names that change with their input.
std::string digestOf(const std::string& text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    static const char digits[] = "0123456789abcdef";
    std::string result(16, '0');
    for (std::size_t i = result.size(); i > 0; --i, hash >>= 4) result[i - 1] = digits[hash & 15];
    return result;
}

// A file as the archive depends on it: where it is, how large, when written.
std::string stampOf(const std::string& path) {
    const platform::FileStatus status = platform::fileStatus(path);
    std::string stamp = path + '\n';
    if (!status.exists) return stamp + "missing\n";
    if (status.isDirectory) return stamp + "directory\n";
    return stamp + std::to_string(status.size) + ' ' + std::to_string(status.modified) + '\n';
}

// True when a class file lies anywhere below directory. The VM refuses to
// write an archive, and ends the process with status 1, when it loaded a
// class from a directory that is not empty.
bool holdsClassFiles(const std::string& directory) {
    std::vector<std::string> pending{directory};
    std::set<std::string> seen;
    while (!pending.empty()) {
        const std::string current = pending.back();
        pending.pop_back();
        std::vector<platform::DirectoryEntry> entries;
        std::string identity;
        if (!platform::listDirectory(current, "*.*", entries, &identity)) continue;
        if (!identity.empty() && !seen.insert(identity).second) continue;  // a link met again
        for (const platform::DirectoryEntry& entry : entries) {
            if (entry.name == "." || entry.name == "..") continue;
            if (entry.isDirectory) {
                pending.push_back(join(current, entry.name));
            } else if (platform::matchesWildcard("*.class", entry.name)) {
                return true;
            }
        }
    }
    return false;
}

SharingPlan off(const std::string& reason) { return {{}, "Class data sharing is off: " + reason}; }

// The first directory of the class path that holds class files, or "".
std::string directoryWithClassFiles(const std::vector<std::string>& classPath) {
    for (const std::string& entry : classPath) {
        if (platform::fileStatus(entry).isDirectory && holdsClassFiles(entry)) return entry;
    }
    return {};
}

// Everything the archive depends on, as text: the VM library and its default
// archive, every class path entry, every other VM option.
std::string archiveIdentity(const std::string& library, const std::string& baseArchive,
                            const SharingInput& input) {
    std::string identity = stampOf(library) + stampOf(baseArchive);
    for (const std::string& entry : input.classPath) identity += stampOf(entry);
    for (const std::string& option : input.vmOptions) identity += option + '\n';
    return identity;
}

// The game's archive directory below the cache directory: named for the
// game's directory, and told apart from another game's of that name.
std::string archiveDirectoryOf(const std::string& cacheDirectory,
                               const std::string& gameDirectory) {
    std::string leaf = lastComponent(gameDirectory);
    if (leaf.empty()) leaf = "game";
    return join(join(cacheDirectory, cacheFolderName), leaf + "-" + digestOf(gameDirectory));
}

// Makes the directory and the two above it, as far as they are missing.
bool makeArchiveDirectory(const std::string& directory) {
    const std::string folder = directoryOf(directory);
    for (const std::string& each : {directoryOf(folder), folder, directory}) {
        if (!platform::makeDirectory(each)) return false;
    }
    return true;
}

// Older archives of the same game: made for a runtime or game files that are
// gone. One still mapped by a running game stays until the next launch.
void removeOtherArchives(const std::string& directory, const std::string& keep) {
    std::vector<platform::DirectoryEntry> entries;
    platform::listDirectory(directory, std::string(archivePrefix) + "*" + archiveSuffix, entries);
    for (const platform::DirectoryEntry& entry : entries) {
        if (entry.isDirectory || entry.name == keep) continue;
        platform::removeFile(join(directory, entry.name));
    }
}

SharingPlan planFor(int runtimeVersion, const std::string& archive, bool usable) {
    SharingPlan plan;
    plan.message = std::string("Class data sharing: ") + (usable ? "using " : "writing ") + archive;
    if (runtimeVersion >= firstAutoArchiveVersion) {
        plan.options = {"-XX:+AutoCreateSharedArchive", "-XX:SharedArchiveFile=" + archive};
    } else if (usable) {
        plan.options = {"-XX:SharedArchiveFile=" + archive};
    } else {
        plan.options = {"-XX:ArchiveClassesAtExit=" + archive};
    }
    return plan;
}

}  // namespace

SharingPlan planClassDataSharing(const SharingInput& input) {
    if (!input.runtimeVersion || *input.runtimeVersion < firstDynamicArchiveVersion) {
        return {{}, notAvailable};
    }
    const std::string library = platform::resolvedPath(input.runtimeLibrary);
    const std::string baseArchive = join(directoryOf(library), baseArchiveName);
    if (!platform::isRegularFile(baseArchive)) {
        return {{}, std::string(notAvailable) + " (no " + baseArchive + ")"};
    }
    const std::string classDirectory = directoryWithClassFiles(input.classPath);
    if (!classDirectory.empty()) {
        return off(classDirectory + " on the class path holds class files");
    }

    if (input.cacheDirectory.empty()) return off("no user cache directory");
    const std::string directory = archiveDirectoryOf(input.cacheDirectory, input.gameDirectory);
    // The VM reads a list of archives from the option, split at the class
    // path separator.
    if (directory.find(platform::classPathSeparator) != std::string::npos) {
        return off(directory + " contains '" + std::string(1, platform::classPathSeparator) + "'");
    }
    if (!makeArchiveDirectory(directory) || !platform::canCreateFilesIn(directory)) {
        return off("cannot write to " + directory);
    }
    const std::string name =
        archivePrefix + digestOf(archiveIdentity(library, baseArchive, input)) + archiveSuffix;
    const std::string archive = join(directory, name);
    removeOtherArchives(directory, name);

    const bool exists = platform::fileStatus(archive).exists;
    const bool usable = exists && isCompleteDynamicArchive(archive, baseArchive);
    // A damaged archive, or one of another VM, is written anew: Java 17 would
    // map a truncated one and crash, and Java 19 and later keep one of an
    // older archive version without replacing it.
    if (exists && !usable && !platform::removeFile(archive)) {
        return off("cannot replace " + archive);
    }
    return planFor(*input.runtimeVersion, archive, usable);
}

std::vector<std::string> classDataSharingOptions(const JavaLauncher& launcher,
                                                 const std::string& classPathOption) {
    SharingInput input;
    input.runtimeVersion = launcher.runtimeVersion;
    input.runtimeLibrary = launcher.loadedRuntimePath;
    input.gameDirectory = launcher.workDir;
    input.classPath = launcher.classPath;
    for (const std::string& directory : launcher.extraClassPathDirs) {
        input.classPath.push_back(launcher.workDir + directory);
    }
    input.vmOptions =
        javaVmOptions(launcher.workDir, classPathOption, launcher.nativeLibDir, launcher.settings);
    input.cacheDirectory = platform::userCacheDirectory();
    SharingPlan plan = planClassDataSharing(input);
    writeOut(plan.message);
    return plan.options;
}
