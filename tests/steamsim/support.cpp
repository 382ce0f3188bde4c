#include "support.h"

#include <sstream>

namespace steamsim_test {

std::vector<std::string> logLines() {
    std::vector<std::string> lines;
    std::istringstream in(steamsim_call_log());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> logLinesStarting(const std::string& prefix) {
    std::vector<std::string> lines;
    for (const auto& line : logLines())
        if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
    return lines;
}

void Simulated::start(const std::string& scenario) {
    ASSERT_TRUE(steamsim_load_scenario_text(scenario.c_str()));
    ASSERT_TRUE(SteamAPI_Init());
    steamsim_clear_call_log();
}

void Simulated::TearDown() {
    SteamAPI_Shutdown();
    steamsim_reset();
}

}  // namespace steamsim_test
