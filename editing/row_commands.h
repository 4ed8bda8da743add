#pragma once
// Adding and deleting rows, copying a value down a column and renumbering it.
#include "core/workspace.h"

namespace orbelan {

enum class CopyDownMode { Copy, Renumber };

void AddRow(Workspace& ws);     // "&Adauga linie"
void DeleteRow(Workspace& ws);  // "S&terge linie"
// "Recupereaza linia": the current row's deletion mark cleared (rows marked deleted are on show
// while "Arata liniile sterse" is checked). A row not deleted is left as it is.
void RecallRow(Workspace& ws);
// The deleted rows among the displayed ones brought back (the command line's recall); how many.
int RecallDisplayedRows(Workspace& ws);
// One value of the row-th displayed row (from 1), memo texts too, posted at once.
void SetValue(Workspace& ws, long row, const std::string& column, const std::string& value);

// "Copie valoare in jos" and "Renumerotare in jos": the current row's value of the column (or
// a running number from it) into every displayed row from the current one down, in one rewrite.
void CopyDown(Workspace& ws, const std::string& column, CopyDownMode mode);

}  // namespace orbelan
