// The dedicated-server launch on Windows, without the Java VM: looks for Steam in
// the registry and starts it with the address for the application id given as the
// first argument. Prints the lookup's failure lines, then "result=true|false".
#include <cstdlib>
#include <iostream>

#include "dedicated_server.h"

int main(int argc, char** argv) {
    const AppId_t appId = argc > 1 ? static_cast<AppId_t>(std::strtoul(argv[1], nullptr, 10)) : 480;
    const bool started = quellink::startDedicatedServer(appId, std::cout);
    std::cout << "result=" << (started ? "true" : "false") << std::endl;
    return 0;
}
