#include "app/application.h"
#include "platform/program_entry.h"

// Files named on the command line (a desktop's "Open with" passes them) are
// opened as if chosen in the Open dialog; options are not interpreted.
int ProgramEntry(std::vector<String> arguments) {
    SetStartupFiles(std::move(arguments));
    return RunProgram(VistrelApplication());
}

#ifndef _WIN32
// On Windows the entry point is the platform's, which decodes the wide
// command line.
int main(int argc, char** argv) {
    std::vector<String> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(String(argv[i]));
    return ProgramEntry(std::move(arguments));
}
#endif
