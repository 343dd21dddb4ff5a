#include "platform/system_info.h"

#include <windows.h>

uint64_t PhysicalMemoryBytes() {
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status))
        return 0;
    return status.ullTotalPhys;
}

// A console answers GetConsoleMode; a pipe or a file does not.
bool StandardErrorIsTerminal() {
    DWORD mode = 0;
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    return err != nullptr && err != INVALID_HANDLE_VALUE && GetConsoleMode(err, &mode) != 0;
}
