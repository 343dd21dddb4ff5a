#pragma once

#include "core/strings.h"

#include <vector>

// The targets of a run of several files (the command line, the desktop
// batch), checked against all of its inputs before anything is processed:
// a result must never replace a file that the run has still to read, and
// two results must never go to one file. Files are compared as the system
// knows them (device and file number, or the real path), so "./a.jpg",
// "a.jpg" and a link to it are one file.
//
// Returns, for each input, an empty text when its target may be written,
// or why not (for the caller to put after the target's name). A target
// that is its own input (in place) is allowed here; replacing it is the
// caller's and the user's decision. An input listed twice keeps its first
// listing only.
std::vector<String> CheckOutputTargets(const std::vector<String>& inputs, const std::vector<String>& targets);
