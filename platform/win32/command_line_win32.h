#pragma once

#include <string>

// One argument quoted so that the C runtime's and CommandLineToArgvW's
// splitting give it back unchanged, spaces and all.
std::string QuoteArgument(const std::string& argument);

// The browser command with its "%1" or "%L" (quoted or not) replaced by the
// target as one quoted argument, or, when it has neither, the target
// appended: a help page under "C:\Program Files\..." must not split at its
// space. "%%" is a percent sign; other placeholders are dropped.
std::string BrowserCommandLine(const std::string& command, const std::string& target);
