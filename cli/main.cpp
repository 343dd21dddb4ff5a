#include "cli_app.h"
#include "core/bilinear_weights.h"
#include "platform/system_info.h"

#include <iostream>

int main(int argc, char** argv) {
    InitBilinearWeights();
    std::vector<std::string> args(argv + 1, argv + argc);
    return RunCli(args, std::cout, std::cerr, StandardErrorIsTerminal());
}
