#pragma once
// The first showing of the main window and the "Deschide un DBF" button.
#include <string>
#include <vector>

#include "core/workspace.h"

namespace orbelan {

// args: the command-line arguments after the program name.
void FormShow(Workspace& ws, const std::vector<std::string>& args, const std::string& programDir,
              const std::string& executablePath);

void BOpenClick(Workspace& ws);

// Filter text empty, filtering off, the filter edit cleared and its button raised.
void ResetFilter(Workspace& ws);

}  // namespace orbelan
