#pragma once
// The three ports together, for the callers that implement them all: the main window and the
// tests' scripted double. A command asks only for the port it uses (see Workspace).
#include "core/messages.h"
#include "core/progress.h"
#include "core/window_state.h"

namespace orbelan {

class Ui : public Messages, public Progress, public WindowState {};

}  // namespace orbelan
