// The program's Windows entry point (GUI subsystem). The command line comes
// as UTF-16 and reaches the program as UTF-8 words, so that file names in
// any script survive.

#include "platform/program_entry.h"
#include "platform/win32/wide_text.h"

#include <windows.h>
#include <shellapi.h>

#include <cfenv>
#include <vector>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Doubles round to nearest with a 53-bit mantissa, in the x87 unit as in
    // SSE2, whatever the process inherited.
    std::fesetenv(FE_PC53_ENV);
    std::fesetround(FE_TONEAREST);

    std::vector<String> arguments;
    int count = 0;
    if (LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count)) {
        // The first word is the program itself.
        for (int i = 1; i < count; ++i)
            arguments.push_back(Narrow(words[i]));
        LocalFree(words);
    }
    return ProgramEntry(std::move(arguments));
}
