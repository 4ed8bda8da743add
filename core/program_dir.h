#pragma once
// The program's own data folder, shared by the window and the command line.
#include <string>

namespace orbelan {

// Where scratch tables, letters and templates go; never a folder of the user's tables, so the
// scratch names there can be deleted freely. ORBELAN_DATA_DIR overrides it; otherwise it is
// "dbf-orbelan" in the user's data folder (XDG_DATA_HOME or ~/.local/share; APPDATA on
// Windows). Ends with a separator; TempTableName creates it when a scratch name is first needed.
std::string ProgramDataDir();

class Workspace;

// The first of ProgramDir + "DBF" + n + ext (n = 0..200) that is free or can be deleted;
// empty when none is. The open table itself is never one of them.
std::string TempTableName(Workspace& ws, const std::string& ext);

}  // namespace orbelan
