#include "platform/program_folder.h"
#include "platform/win32/utf8_win32.h"

#include <windows.h>

// The module's path comes as UTF-16; its length limit counts characters.
void InitProgramFolder() {
    wchar_t buffer[ProgramPathBufferSize];
    DWORD length = GetModuleFileNameW(nullptr, buffer, ProgramPathBufferSize);
    ProgramFolder = String();
    if (length == 0 || length >= ProgramPathBufferSize - 1)
        return;
    DWORD cut = 0;
    for (DWORD i = 0; i < length; ++i) {
        if (buffer[i] == L'\\' || buffer[i] == L'/')
            cut = i + 1;
    }
    std::string folder = Utf8FromWide(buffer, cut);
    ProgramFolder = String(folder.data(), static_cast<int32_t>(folder.size()));
}
