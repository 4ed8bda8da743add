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

int RunOrbelan(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace orbelan
