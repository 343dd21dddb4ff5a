#pragma once

#include "core/strings.h"

#include <string>
#include <vector>

// Shows a web address or a local file in the user's browser: the browser
// command ($BROWSER on Linux, with the target as one more argument; on
// Windows the user's default browser's command for "http" links, with the
// target in place of its "%1"), else the desktop's default handler
// (BackendOpenWithDesktop). True when something accepted it. Shows no message.
bool OpenInBrowser(const String& target);

// The words of a command line (Linux): blanks separate them; single or double
// quotes group blanks into a word; a backslash outside single quotes keeps
// the next character as it is.
std::vector<std::string> SplitCommandLine(const char* command);
