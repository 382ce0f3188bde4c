#include "dedicated_server.h"

namespace quellink {

std::string RunGameAddress(AppId_t appId) {
    return "steam://rungameid/" + std::to_string(appId);
}

bool ReadSteamExePath(platform::SteamRoot root, std::string& path, std::ostream& out) {
    if (!platform::LookUpSteamExe(root, path)) {
        out << "Failed to fetch steam exe path from : " << platform::SteamRootName(root)
            << "\\SOFTWARE\\Valve\\Steam" << std::endl;
        return false;
    }
    return true;
}

bool StartDedicatedServer(AppId_t appId, std::ostream& out) {
    std::string steamExe;
    if (!ReadSteamExePath(platform::SteamRoot::LocalMachine, steamExe, out) &&
        !ReadSteamExePath(platform::SteamRoot::CurrentUser, steamExe, out)) {
        return false;
    }
    // An empty path counts as found; starting it fails, without a message.
    return platform::StartSteamProcess(steamExe, RunGameAddress(appId));
}

}  // namespace quellink
