// The values of LaunchConfig.ini as the launcher's narrow strings hold text.
// On Windows those strings are UTF-8 (the manifest's code page), but a file
// edited by hand for an earlier launcher holds its values in the system's
// legacy code page; both kinds may stand in one file.
#pragma once

#include <string>

#include <boost/property_tree/ptree.hpp>

// A value that is well-formed UTF-8 is kept as it is; any other was written in
// the system's code page and is read in it (platform::fromSystemCodePage).
std::string settingsValueText(const std::string& value);

// settingsValueText for every value of the tree, each on its own.
void decodeSettingsValues(boost::property_tree::ptree& tree);
