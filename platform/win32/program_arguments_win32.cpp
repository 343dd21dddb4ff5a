#include "platform/program_arguments.h"
#include "platform/win32/utf8_win32.h"

#include <windows.h>

#include <shellapi.h>

std::vector<std::string> ProgramArguments(int, char**) {
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    if (!words)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(Utf8FromWide(words[i], wcslen(words[i])));
    LocalFree(words);
    return arguments;
}
