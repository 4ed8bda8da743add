#include <iostream>

#include "cli/cli_app.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// windows.h last: shellapi.h needs it.
#include <shellapi.h>

#include "engine/utf8_path.h"
#define ORBELAN_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define ORBELAN_ISATTY(fd) isatty(fd)
#endif

namespace {

#ifdef _WIN32
// The arguments as UTF-8, from the wide command line: argv holds them in the ANSI code page,
// which has no room for a Romanian file name on most systems.
std::vector<std::string> Arguments(int, char**) {
    std::vector<std::string> args;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return args;
    for (int i = 1; i < count; ++i) args.push_back(orbelan::Utf8FromPath(wide[i]));
    LocalFree(wide);
    return args;
}

// The console shows UTF-8; output keeps the bytes written on Linux (no CR added before LF).
void PrepareConsole() {
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}
#else
std::vector<std::string> Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

void PrepareConsole() {}
#endif

}  // namespace

int main(int argc, char** argv) {
    PrepareConsole();
    std::ios::sync_with_stdio(false);
    std::istream* terminal = ORBELAN_ISATTY(0) ? &std::cin : nullptr;
    return orbelan::RunOrbelan(Arguments(argc, argv), std::cout, std::cerr, terminal);
}
