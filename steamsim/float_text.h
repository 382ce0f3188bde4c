// Floats as text, the same in every C locale: the simulator logs them and reads
// them from scenario files.
#pragma once

#include <string>

namespace steamsim {

// The shortest text that reads back as the same float.
std::string formatFloat(float value);

// Reads a whole text as a float; false when the text is empty, holds anything
// else, or is out of range.
bool parseFloat(const std::string& text, float& value);

}  // namespace steamsim
