// Java VM start and the call of the client's main method.
#include "java_launcher.h"

int JavaLauncher::run() {
    return 1;
}
