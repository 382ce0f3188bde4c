#include "messages.h"

#include <iostream>

namespace tessvik {

namespace {

// What this run wrote: process-wide, as the streams are.
struct MessageLog {
    std::string lines;
    std::vector<std::string> vmLines;
    bool quiet = false;
};

MessageLog messages;

void addToLog(const std::string& line) {
    messages.lines += line;
    messages.lines += '\n';
}

void write(std::ostream& stream, const std::string& line) {
    addToLog(line);
    if (messages.quiet) return;
    // A GUI program starts without anything behind its standard streams, and
    // a failed write leaves the stream in a failed state. Clearing it first
    // lets the lines reach a console that was opened later.
    stream.clear();
    stream << line << '\n' << std::flush;
}

}  // namespace

void writeOut(const std::string& line) { write(std::cout, line); }

void writeErr(const std::string& line) { write(std::cerr, line); }

const std::string& messageLog() { return messages.lines; }

void logVmLines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        addToLog(line);
        messages.vmLines.push_back(line);
    }
}

const std::vector<std::string>& vmLines() { return messages.vmLines; }

void setQuiet(bool quiet) { messages.quiet = quiet; }

}  // namespace tessvik
