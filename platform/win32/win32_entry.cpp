// The program's Windows entry point (GUI subsystem). The command line comes
// as UTF-16 and reaches the program as UTF-8 words, so that file names in
// any script survive.

#include "platform/program_arguments.h"
#include "platform/program_entry.h"

#include <windows.h>

#include <cfenv>
#include <string>
#include <vector>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Doubles round to nearest with a 53-bit mantissa, in the x87 unit as in
    // SSE2, whatever the process inherited.
    std::fesetenv(FE_PC53_ENV);
    std::fesetround(FE_TONEAREST);

    std::vector<String> arguments;
    for (const std::string& word : ProgramArguments(0, nullptr))
        arguments.push_back(String(word));
    return ProgramEntry(std::move(arguments));
}
