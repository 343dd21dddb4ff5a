#pragma once

#include "core/strings.h"

// The shell's "open" verb on a web address or file (no parameters, no
// working folder, show state 0): what a window backend's
// BackendOpenWithDesktop does on Windows. True when the shell accepted it.
bool ShellOpen(const String& target);
