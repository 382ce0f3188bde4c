// A game tree whose launches use the start-up cache, and waiting for the work
// that goes on after a launch (an ahead-of-time cache's assembly) to end.
#pragma once

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "client_tree.h"
#include "platform/files.h"
#include "platform/locks.h"

using namespace tessvik;

namespace cache_test {

namespace fs = std::filesystem;
using launcher_test::Lines;

inline const char* const mainClassLoaded = "com.zarnhall.client.launcherfx.ZarnMain source: ";

// The rest of the line in which marker first appears, or "".
inline std::string restOfLine(const std::string& text, const std::string& marker) {
    const std::size_t at = text.find(marker);
    if (at == std::string::npos) return {};
    const std::size_t from = at + marker.size();
    return text.substr(from, text.find('\n', from) - from);
}

struct CacheRun {
    RunResult run;
    std::string state;     // writing, recording, assembling, using, or the line when off
    std::string cache;     // the cache the line names
    std::string mainFrom;  // where the VM took the client's main class from
};

// A game tree with sharing on and the VM's class loading logged, on Temurin
// 25 unless jvmLibrary names another JDK's VM.
class CacheTree : public ClientTree {
public:
    explicit CacheTree(const std::string& jvmLibrary = jdk25Library) : ClientTree(jvmLibrary) {
        writeOptions({});
    }

    void writeOptions(const std::vector<std::string>& extra) const {
        std::string body =
            "[Runtime]\nClassDataSharing=1\n[Memory]\nInitialHeap=64m\nMaxHeapSize=256m\n"
            "[VMParams]\nJvmParam0=-Xlog:class+load=info:file=" +
            root() + "/classes.log\n";
        for (std::size_t i = 0; i < extra.size(); ++i) {
            body += "JvmParam" + std::to_string(i + 1) + "=" + extra[i] + "\n";
        }
        writeSettings(body);
    }

    CacheRun launchCached(const std::string& mode = "return",
                          ChildEnvironment environment = {}) const {
        fs::remove(root() + "/classes.log");
        CacheRun result{launch({}, mode, std::move(environment)), "", "", ""};
        const std::string line = restOfLine(result.run.out, "Class data sharing: ");
        const std::size_t blank = line.find(' ');
        result.state = line.substr(0, blank);
        if (blank != std::string::npos) result.cache = line.substr(blank + 1);
        if (result.state.empty())
            result.state = "Class data sharing" + restOfLine(result.run.out, "Class data sharing");
        result.mainFrom = restOfLine(readFile(root() + "/classes.log"), mainClassLoaded);
        return result;
    }

    // The game's files in its cache folder, by name.
    Lines cacheFiles() const {
        Lines names;
        for (const auto& folder : fs::directory_iterator(cache() + "/Tessvik")) {
            if (!folder.is_directory()) continue;
            for (const auto& entry : fs::directory_iterator(folder)) {
                names.push_back(entry.path().filename().string());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

// True when the lock file at path is free. Asked only once the request is
// gone: an assembly that found its lock taken would give up.
inline bool lockFree(const std::string& path) {
    return platform::FileLock::tryAcquire(path).held();
}

// The game's files in the tree's cache folder whose names end in suffix.
inline std::vector<std::string> filesEndingIn(const CacheTree& tree, const std::string& suffix) {
    std::vector<std::string> paths;
    for (const auto& folder : fs::directory_iterator(tree.cache() + "/Tessvik")) {
        if (!folder.is_directory()) continue;
        for (const auto& entry : fs::directory_iterator(folder)) {
            const std::string path = entry.path().string();
            if (path.size() >= suffix.size() &&
                path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0) {
                paths.push_back(path);
            }
        }
    }
    return paths;
}

// Waits until no assembly of the tree runs any more: no request left, no
// lock held. False after a minute.
inline bool settled(const CacheTree& tree) {
    for (int i = 0; i < 600; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(100))) {
        if (!filesEndingIn(tree, ".request").empty()) continue;
        const std::vector<std::string> locks = filesEndingIn(tree, ".lock");
        if (std::all_of(locks.begin(), locks.end(), lockFree)) return true;
    }
    return false;
}

// Waits for the assembly to end, and tells whether it left the cache.
inline bool assembled(const CacheTree& tree, const std::string& cache) {
    return settled(tree) && fs::exists(cache);
}

}  // namespace cache_test
