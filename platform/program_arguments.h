#pragma once

#include <string>
#include <vector>

// The command-line arguments after the program's name, as UTF-8. Windows
// hands main() its arguments in the ANSI code page, which cannot hold every
// file name, so there they are taken from the wide command line instead.
std::vector<std::string> ProgramArguments(int argc, char** argv);
