#include "platform/console.h"

#include <windows.h>

#include <cstdlib>

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace {

// The console's settings belong to the whole console window (the command
// prompt keeps them after we end), so they are put back at exit.
UINT savedCodePage = 0;
HANDLE savedHandles[2] = {nullptr, nullptr};
DWORD savedModes[2] = {0, 0};

void RestoreConsole() {
    for (int i = 0; i < 2; ++i) {
        if (savedHandles[i])
            SetConsoleMode(savedHandles[i], savedModes[i]);
    }
    if (savedCodePage)
        SetConsoleOutputCP(savedCodePage);
}

}  // namespace

bool PrepareConsoleOutput() {
    bool escapesWork = true;
    bool anyConsole = false;
    const DWORD which[2] = {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    for (int i = 0; i < 2; ++i) {
        HANDLE handle = GetStdHandle(which[i]);
        DWORD mode = 0;
        if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode))
            continue;  // a pipe or a file: bytes as they are
        anyConsole = true;
        if (!savedHandles[0] && !savedHandles[1] && !savedCodePage)
            std::atexit(RestoreConsole);
        if (!savedHandles[i]) {
            savedHandles[i] = handle;
            savedModes[i] = mode;
        }
        bool enabled = (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) ||
                       SetConsoleMode(handle, mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
        if (which[i] == STD_ERROR_HANDLE)
            escapesWork = enabled;
    }
    if (anyConsole) {
        UINT current = GetConsoleOutputCP();
        if (current != CP_UTF8 && SetConsoleOutputCP(CP_UTF8) && !savedCodePage)
            savedCodePage = current;
    }
    return escapesWork;
}
