#pragma once
// The first showing of the main window and the "Deschide un DBF" button.
#include <string>
#include <vector>

#include "core/workspace.h"

namespace orbelan {

// The first showing of the window: the program's data folder, then the table named by the first
// argument (after the program name) or, without one, the file association.
void StartUp(Workspace& ws, const std::vector<std::string>& args,
             const std::string& executablePath);

// "Deschide un DBF" once a file is chosen: opens it with the filter reset.
void OpenTableFile(Workspace& ws, const std::string& path);

// Filter text empty, filtering off, the filter edit cleared and its button raised.
void ResetFilter(Workspace& ws);

}  // namespace orbelan
