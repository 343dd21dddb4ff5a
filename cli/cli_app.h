#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// Runs the command-line program: args without the program name. Nothing but
// info's answer goes to out; progress and errors go to err. Returns the
// exit status: 0 when every file was done, 1 when any failed, 2 for a usage
// error.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal);

// Worker threads for a --threads request (0: none given) on a machine with
// cores hardware threads. More than four per core only cost memory (each
// keeps a band of sums as wide as the picture); the result is the same.
int32_t CliWorkerThreads(int32_t requested, int32_t cores);
