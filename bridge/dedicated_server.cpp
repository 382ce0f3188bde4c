#include "dedicated_server.h"

namespace quellink {

std::string runGameAddress(AppId_t appId) { return "steam://rungameid/" + std::to_string(appId); }

bool ReadSteamExePath(platform::SteamRoot root, std::string& path, std::ostream& out) {
    if (!platform::lookUpSteamExe(root, path)) {
        out << "Failed to fetch steam exe path from : " << platform::steamRootName(root)
            << "\\SOFTWARE\\Valve\\Steam" << std::endl;
        return false;
    }
    return true;
}

bool startDedicatedServer(AppId_t appId, std::ostream& out) {
    std::string steamExe;
    if (!ReadSteamExePath(platform::SteamRoot::localMachine, steamExe, out) &&
        !ReadSteamExePath(platform::SteamRoot::currentUser, steamExe, out)) {
        return false;
    }
    // An empty path counts as found; starting it fails, without a message.
    return platform::startSteamProcess(steamExe, runGameAddress(appId));
}

}  // namespace quellink
