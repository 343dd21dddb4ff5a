#pragma once

#include <string>

// One argument quoted so that the C runtime's and CommandLineToArgvW's
// splitting give it back unchanged, spaces and all.
std::string QuoteArgument(const std::string& argument);

// The browser command as stored, a space, then the target as one argument:
// a help page under "C:\Program Files\..." must not split at its space.
std::string BrowserCommandLine(const std::string& command, const std::string& target);
