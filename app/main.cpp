#include "app/application.h"

// Files named on the command line (a desktop's "Open with" passes them) are
// opened as if chosen in the Open dialog; options are not interpreted.
int main(int argc, char** argv) {
    std::vector<String> files;
    for (int i = 1; i < argc; ++i)
        files.push_back(String(argv[i]));
    SetStartupFiles(std::move(files));
    return RunProgram(VistrelApplication());
}
