#pragma once
// A command was given an argument it can't take: a row beyond the displayed ones, the same
// column twice. The window's choosers never give one; the command line reports it as a usage
// error.
#include <stdexcept>

namespace orbelan {

struct ArgumentError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace orbelan
