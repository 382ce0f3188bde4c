#include "messages.h"

#include <iostream>

namespace {

std::string& log() {
    static std::string lines;
    return lines;
}

std::vector<std::string>& vmLog() {
    static std::vector<std::string> lines;
    return lines;
}

void addToLog(const std::string& line) {
    log() += line;
    log() += '\n';
}

void write(std::ostream& stream, const std::string& line) {
    // A GUI program starts without anything behind its standard streams, and
    // a failed write leaves the stream in a failed state. Clearing it first
    // lets the lines reach a console that was opened later.
    stream.clear();
    stream << line << '\n' << std::flush;
    addToLog(line);
}

}  // namespace

void writeOut(const std::string& line) { write(std::cout, line); }

void writeErr(const std::string& line) { write(std::cerr, line); }

const std::string& messageLog() { return log(); }

void logVmLines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        addToLog(line);
        vmLog().push_back(line);
    }
}

const std::vector<std::string>& vmLines() { return vmLog(); }
