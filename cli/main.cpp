#include "cli_app.h"
#include "core/bilinear_weights.h"
#include "platform/console.h"
#include "platform/program_arguments.h"
#include "platform/system_info.h"

#include <iostream>

int main(int argc, char** argv) {
    InitBilinearWeights();
    // Live progress needs a terminal that takes escape codes.
    const bool escapesWork = PrepareConsoleOutput();
    return RunCli(ProgramArguments(argc, argv), std::cout, std::cerr, StandardErrorIsTerminal() && escapesWork);
}
