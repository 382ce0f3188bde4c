#include <windows.h>

#include "notice.h"

namespace platform {

OutputSituation observeOutput() {
    OutputSituation situation{GetConsoleWindow() != nullptr, OutputTarget::none};
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE) return situation;
    switch (GetFileType(output)) {
        case FILE_TYPE_DISK:
            situation.standardOutput = OutputTarget::file;
            break;
        case FILE_TYPE_PIPE:
            situation.standardOutput = OutputTarget::pipe;
            break;
        case FILE_TYPE_CHAR: {
            DWORD mode = 0;
            situation.standardOutput =
                GetConsoleMode(output, &mode) ? OutputTarget::console : OutputTarget::device;
            break;
        }
        default:
            break;
    }
    return situation;
}

void showErrorBox(const std::string& title, const std::string& text) {
    MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

}  // namespace platform
