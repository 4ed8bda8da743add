#pragma once
// The row commands of the button "Modificari Date": delete repeated rows, delete the displayed
// rows, delete the index (and pack the table).
#include <string>

namespace orbelan {

class Workspace;

// Before the duplicates' chooser: false, with a hint on the grid, when the open table has no
// rows to delete.
bool HasRowsToDelete(Workspace& ws);

// "Sterge liniile dublate": asks, then for each value of the column that the file holds more
// than once, deletes displayed rows holding it, keeping the last of its copies in the table's
// order. Returns how many rows were deleted.
int DeleteDuplicateRows(Workspace& ws, const std::string& column);

// "Sterge liniile afisate": asks, then deletes exactly the rows the grid shows (every row when the
// filter is off), all in one rewrite. Returns how many rows were deleted.
int DeleteDisplayedRows(Workspace& ws);

// "Sterge Index": the table's index files go, then the rows marked deleted are removed.
void DeleteIndex(Workspace& ws);

// Removes physically the rows marked deleted, through the second table; a failure of the pack
// leaves the file as it was and is thrown (DbfError).
void PackTable(Workspace& ws, const std::string& file);

}  // namespace orbelan
