#include "platform/win32/command_line_win32.h"

std::string QuoteArgument(const std::string& argument) {
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count only in front of a quote: double them there.
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    // ... and in front of the closing quote.
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

std::string BrowserCommandLine(const std::string& command, const std::string& target) {
    return command + " " + QuoteArgument(target);
}
