#pragma once
// One run of the orbelan program in the test's process: its exit code and both outputs.
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_app.h"

namespace orbelan::test {

struct CliRun {
    int code;
    std::string out, err;
};

inline CliRun Orbelan(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = RunOrbelan(args, out, err);
    return {code, out.str(), err.str()};
}

}  // namespace orbelan::test
