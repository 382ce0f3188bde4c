// The launcher's messages captured for its unit tests.
#pragma once

#include <cstddef>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "messages.h"
#include "temp_tree.h"

using namespace tessvik;

namespace launcher_test {

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

}  // namespace launcher_test
