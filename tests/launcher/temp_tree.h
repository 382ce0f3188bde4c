// Temporary directory trees for the launcher's tests, and reading what was
// written into them.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace launcher_test {

namespace fs = std::filesystem;

// A fresh directory below the system's temporary directory, its name
// beginning with prefix, removed with everything in it (permissions restored
// first) when the object goes.
class TempTree {
public:
    explicit TempTree(const std::string& prefix = "tessvik-test-") {
        std::string pattern = (fs::temp_directory_path() / (prefix + "XXXXXX")).string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        // The launcher sees its own directory with every link resolved.
        root_ = fs::canonical(pattern).string();
    }
    ~TempTree() {
        std::error_code ignored;
        for (auto it = fs::recursive_directory_iterator(root_, ignored);
             it != fs::recursive_directory_iterator(); it.increment(ignored)) {
            if (!it->is_symlink()) chmod(it->path().c_str(), 0755);
        }
        chmod(root_.c_str(), 0755);
        fs::remove_all(root_, ignored);
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& root() const { return root_; }
    std::string path(const std::string& relative) const { return root_ + "/" + relative; }

    std::string dir(const std::string& relative) const {
        fs::create_directories(path(relative));
        return path(relative);
    }
    std::string file(const std::string& relative, const std::string& content = "") const {
        const fs::path target = path(relative);
        fs::create_directories(target.parent_path());
        std::ofstream(target, std::ios::binary) << content;
        return target.string();
    }
    std::string copy(const std::string& source, const std::string& relative) const {
        const fs::path target = path(relative);
        fs::create_directories(target.parent_path());
        fs::copy_file(source, target);
        return target.string();
    }
    std::string link(const std::string& relative, const std::string& target) const {
        const fs::path at = path(relative);
        fs::create_directories(at.parent_path());
        fs::create_symlink(target, at);
        return at.string();
    }

private:
    std::string root_;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

inline std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

using Lines = std::vector<std::string>;

}  // namespace launcher_test
