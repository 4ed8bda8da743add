#pragma once
// "Exp&orta tabelul" -> "In diverse formate" and its command-line twin, over the engine.
#include <string>

#include "export/grid_export.h"

namespace orbelan {

class Workspace;

// Binds the engine to the grid and the workspace and reports its failures through the window
// (a failed export must not look like a finished one).
void BindExport(Workspace& ws, TovDBGridExport& exp, TovGrid grid);

// The chooser, then the export of the displayed rows.
void ExportInDiverseFormats(Workspace& ws, TovDBGridExport& exp, TovGrid grid);

// The same export without the chooser, to the file out (its extension is the format's).
// Throws std::runtime_error when the export failed; returns the rows that did not fit.
int ExportToFile(Workspace& ws, TovDBGridExport& exp, TovExportType type, const std::string& out);

// "--format xls" -> xtExcel; false for an unknown name.
bool ExportTypeFromName(const std::string& name, TovExportType& type);

std::string RowsLeftOutText(int rows);

}  // namespace orbelan
