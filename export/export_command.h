#pragma once
// "Exp&orta tabelul" -> "In diverse formate" and its command-line twin, over the engine.
#include <functional>
#include <string>

#include "export/grid_export.h"

namespace orbelan {

class Table;
class Workspace;

// Binds the engine to the grid and the workspace and reports its failures through the window
// (a failed export must not look like a finished one).
void BindExport(Workspace& ws, TovDBGridExport& exp, TovGrid grid);

// The chooser, then the export of the displayed rows.
void ExportInDiverseFormats(Workspace& ws, TovDBGridExport& exp, TovGrid grid);

// The same export without the chooser, to the file out (its extension is the format's).
// Throws std::runtime_error when the export failed; returns the rows that did not fit.
int ExportToFile(Workspace& ws, TovDBGridExport& exp, TovExportType type, const std::string& out);
// The same for any open table (a table of counts made for the export).
int ExportTableToFile(Table& table, TovDBGridExport& exp, TovExportType type,
                      const std::string& out, const std::string& codePage,
                      const std::string& dateFormat);

// "--format xls" -> xtExcel; false for an unknown name.
bool ExportTypeFromName(const std::string& name, TovExportType& type);

// A table made only to be exported (counts by value): `write` writes it to the path it is given,
// a scratch name in the program's data folder whose file name (`name`.dbf) titles the document;
// it is exported like the grid's rows and removed.
int ExportMadeTable(Workspace& ws, TovDBGridExport& exp, TovExportType type, const std::string& out,
                    const std::string& name,
                    const std::function<void(const std::string& path)>& write);

std::string RowsLeftOutText(int rows);

}  // namespace orbelan
