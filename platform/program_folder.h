#pragma once

#include "core/strings.h"

#include <cstdint>

// The folder that holds the program file, ending in "/"; empty when it could
// not be found. Help pages and samples are looked up below it.
extern String ProgramFolder;

// The buffer the program's path is read into, in characters.
constexpr int64_t ProgramPathBufferSize = 1023;

// Fills ProgramFolder from the running program's path.
void InitProgramFolder();

// The folder part of a program path of the given length (up to and with its
// last "/" or "\"), as read into a 1023-character buffer: a path of 1022
// characters or more, a negative length (the lookup failed) or a path without
// any separator gives an empty folder.
String ProgramFolderFromPath(const char* path, int64_t length);
