// What the simulator tests share.
#pragma once

#include "steam/steam_api.h"
#include "steamsim/steamsim.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The start without interface check of the simulator linked here (SDK 1.58-1.60);
// Quellink never calls it.
STEAM_FLAT_API ESteamAPIInitResult SteamAPI_InitFlat(SteamErrMsg* err);

namespace steamsim_test {

// The call log as lines.
std::vector<std::string> logLines();

// The log lines that start with prefix.
std::vector<std::string> logLinesStarting(const std::string& prefix);

// Every test starts from a fresh simulator with the given scenario (empty:
// the defaults) and Steam started.
class Simulated : public ::testing::Test {
protected:
    void TearDown() override;
    void start(const std::string& scenario = "");
};

}  // namespace steamsim_test
