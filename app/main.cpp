#include "app/application.h"
#include "platform/program_arguments.h"
#include "platform/program_entry.h"

// Files named on the command line (a desktop's "Open with" passes them) are
// opened as if chosen in the Open dialog; options are not interpreted.
int ProgramEntry(std::vector<String> arguments) {
    SetStartupFiles(std::move(arguments));
    return RunProgram(VistrelApplication());
}

#ifndef _WIN32
// On Windows the platform's wWinMain is the entry point.
int main(int argc, char** argv) {
    std::vector<String> arguments;
    for (const std::string& word : ProgramArguments(argc, argv))
        arguments.push_back(String(word));
    return ProgramEntry(std::move(arguments));
}
#endif
