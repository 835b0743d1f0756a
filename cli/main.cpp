#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_app.h"

int main(int argc, char** argv) {
    // A listing of a large archive is many short lines; C stdio is not used.
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return vantoro::runCli(args, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
}
