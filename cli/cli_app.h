#pragma once

#include <ostream>
#include <string>
#include <vector>

// Runs the command-line program: args without the program name. Nothing but
// info's answer goes to out; progress and errors go to err. Returns the
// exit status: 0 when every file was done, 1 when any failed, 2 for a usage
// error.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal);
