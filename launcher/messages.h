// The launcher's one-line messages. Each goes to its stream followed by a
// newline and a flush, and is kept in an in-memory log of this run so that a
// launcher without a visible console can still show what it printed.
#pragma once

#include <string>
#include <vector>

namespace tessvik {

void writeOut(const std::string& line);  // standard output
void writeErr(const std::string& line);  // standard error
const std::string& messageLog();         // every line written so far, in order

// Lines the Java VM wrote while it was created, caught where nobody could see
// them: added to the log in the place they were written, and kept apart as
// what the failure notice shows first.
void logVmLines(const std::vector<std::string>& lines);
const std::vector<std::string>& vmLines();

// While quiet, lines are logged but not written: a launch started again for
// a larger stack has written them already, before it started again.
void setQuiet(bool quiet);

}  // namespace tessvik
