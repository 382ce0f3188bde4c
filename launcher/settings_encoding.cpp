#include "settings_encoding.h"

#include "modified_utf8.h"
#include "platform/platform.h"

std::string settingsValueText(const std::string& value) {
    // A legacy code page's text beyond ASCII is almost never well-formed
    // UTF-8, so the test tells the two kinds apart value by value.
    return isWellFormedUtf8(value) ? value : platform::fromSystemCodePage(value);
}

void decodeSettingsValues(boost::property_tree::ptree& tree) {
    tree.data() = settingsValueText(tree.data());
    for (auto& child : tree) decodeSettingsValues(child.second);
}
