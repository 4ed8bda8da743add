#pragma once
// The `orbelan` batch program: each command runs the same code as the main window.
#include <iosfwd>
#include <string>
#include <vector>

namespace orbelan {

enum CliExit {
    kExitDone = 0,
    kExitFound = 1,
    kExitUsage = 2,
    kExitUnreadable = 3,
    kExitEngine = 4
};

// terminal: where the answers to questions are read when standard input is a terminal; nullptr
// otherwise (questions of commands that destroy data are then answered NU, exit 2).
int RunOrbelan(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               std::istream* terminal = nullptr);

}  // namespace orbelan
