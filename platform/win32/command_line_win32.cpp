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
    const std::string quoted = QuoteArgument(target);
    std::string line;
    bool placed = false;
    for (size_t i = 0; i < command.size(); ++i) {
        char next = i + 1 < command.size() ? command[i + 1] : '\0';
        if (command[i] != '%' || next == '\0') {
            line += command[i];
            continue;
        }
        ++i;
        if (next == '1' || next == 'L' || next == 'l') {
            // A placeholder the command already quotes loses those quotes.
            bool inQuotes = !line.empty() && line.back() == '"' && i + 1 < command.size() && command[i + 1] == '"';
            if (inQuotes) {
                line.pop_back();
                ++i;
            }
            line += quoted;
            placed = true;
        } else if (next == '%') {
            line += '%';
        }
        // Other placeholders (%*, %I, %2...) have nothing to stand for.
    }
    return placed ? line : line + " " + quoted;
}
