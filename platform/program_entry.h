#pragma once

#include "core/strings.h"

#include <vector>

// The program's own entry, defined by the application. The platform's entry
// point calls it with the command-line words after the program's name, in
// UTF-8, and returns what it returns as the exit status.
int ProgramEntry(std::vector<String> arguments);
