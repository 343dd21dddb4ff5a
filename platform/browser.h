#pragma once

#include "core/strings.h"

#include <string>
#include <vector>

// Shows a web address or a local file in the user's browser. On Windows:
// the user's default browser's command for "http" links, with the target in
// place of its "%1" (appended quoted when it has none), else the shell. On
// Linux: the desktop's default handler (BackendOpenWithDesktop), else each
// entry of $BROWSER in turn. True when something accepted it. Shows no
// message.
bool OpenInBrowser(const String& target);

// $BROWSER (Linux): commands separated by ':', empty ones skipped.
std::vector<std::string> SplitBrowserList(const char* list);
// The arguments of one such command for the target: each "%s" becomes the
// target ("%%" a percent sign); without any "%s" the target is appended.
std::vector<std::string> BrowserArguments(const std::string& entry, const std::string& target);

// The words of a command line (Linux): blanks separate them; single or double
// quotes group blanks into a word; a backslash outside single quotes keeps
// the next character as it is.
std::vector<std::string> SplitCommandLine(const char* command);
