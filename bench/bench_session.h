#pragma once
// A workspace with the benchmark table open, as the command line has it (messages to a sink).
#include <sstream>
#include <string>

#include "cli/console_ui.h"
#include "core/workspace.h"

namespace orbelan::bench {

struct Session {
    std::ostringstream sink;
    ConsoleMessages messages{sink};
    ConsolePlatform platform;
    Workspace ws{messages, platform};
    std::string column;  // the column the command runs on

    Session(const std::string& path, const std::string& programDir) {
        ws.ProgramDir = programDir;
        ws.CurrentFile = path;
        ws.OpenTable();
    }
};

}  // namespace orbelan::bench
