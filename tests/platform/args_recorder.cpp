// Stands in for a browser: writes each argument after the first, as UTF-8, one a line, to the file the first names.
#include "platform/program_arguments.h"

#include <fstream>

int main(int argc, char** argv) {
    std::vector<std::string> args = ProgramArguments(argc, argv);
    if (args.empty()) return 2;
    std::ofstream out(args[0] + ".tmp", std::ios::binary);
    for (size_t i = 1; i < args.size(); ++i) out << args[i] << '\n';
    out.close();
    return std::rename((args[0] + ".tmp").c_str(), args[0].c_str()) == 0 ? 0 : 1;
}
