// Notices on Windows: what the standard handles lead to, and MessageBoxA.
#include <windows.h>

#include "notices.h"

namespace tessvik::platform {

namespace {

OutputTarget observeTarget(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return OutputTarget::none;
    switch (GetFileType(handle)) {
        case FILE_TYPE_DISK: return OutputTarget::file;
        case FILE_TYPE_PIPE: return OutputTarget::pipe;
        case FILE_TYPE_CHAR: {
            DWORD mode = 0;
            return GetConsoleMode(handle, &mode) ? OutputTarget::console : OutputTarget::device;
        }
        default: return OutputTarget::none;
    }
}

}  // namespace

OutputSituation observeOutput() {
    return {GetConsoleWindow() != nullptr, observeTarget(GetStdHandle(STD_OUTPUT_HANDLE)),
            observeTarget(GetStdHandle(STD_ERROR_HANDLE))};
}

void showErrorBox(const std::string& title, const std::string& text) {
    MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

}  // namespace tessvik::platform
