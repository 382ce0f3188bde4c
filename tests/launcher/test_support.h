// Temporary directory trees and captured launcher messages for the launcher's
// tests.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "messages.h"

namespace launcher_test {

namespace fs = std::filesystem;

// A fresh directory below the system's temporary directory, removed with
// everything in it (permissions restored first) when the object goes.
class TempTree {
public:
    TempTree() {
        std::string pattern = (fs::temp_directory_path() / "tessvik-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        root_ = pattern;
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

// What the launcher writes while the object lives: each stream on its own,
// and every line of both in the order written.
class CapturedMessages {
public:
    CapturedMessages()
        : logStart_(messageLog().size()),
          savedOut_(std::cout.rdbuf(out_.rdbuf())),
          savedErr_(std::cerr.rdbuf(err_.rdbuf())) {}
    ~CapturedMessages() {
        std::cout.rdbuf(savedOut_);
        std::cerr.rdbuf(savedErr_);
    }
    CapturedMessages(const CapturedMessages&) = delete;
    CapturedMessages& operator=(const CapturedMessages&) = delete;

    std::vector<std::string> out() const { return splitLines(out_.str()); }
    std::vector<std::string> err() const { return splitLines(err_.str()); }
    std::vector<std::string> all() const { return splitLines(messageLog().substr(logStart_)); }

private:
    std::size_t logStart_;
    std::ostringstream out_;
    std::ostringstream err_;
    std::streambuf* savedOut_;
    std::streambuf* savedErr_;
};

using Lines = std::vector<std::string>;

}  // namespace launcher_test
