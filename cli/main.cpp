#include <iostream>

#include "cli/cli_app.h"

#ifdef _WIN32
#include <io.h>
#define ORBELAN_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define ORBELAN_ISATTY(fd) isatty(fd)
#endif

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    std::istream* terminal = ORBELAN_ISATTY(0) ? &std::cin : nullptr;
    return orbelan::RunOrbelan(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                               std::cerr, terminal);
}
