#include "cli_app.h"
#include "core/bilinear_weights.h"
#include "platform/program_arguments.h"
#include "platform/system_info.h"

#include <iostream>

int main(int argc, char** argv) {
    InitBilinearWeights();
    return RunCli(ProgramArguments(argc, argv), std::cout, std::cerr, StandardErrorIsTerminal());
}
