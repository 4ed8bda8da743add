#pragma once
// "In format CSV": the program's own quick CSV writer. The displayed rows of the open table with
// all its fields, comma-separated, never quoted: a comma inside a value or a name becomes a full
// stop, a line break a blank. 8-bit text in the program's code page, CR LF after every line, no
// byte-order mark.
#include <string>

namespace orbelan {

class Workspace;

// Writes the quick CSV of the open table into path under a scratch name renamed into place, so
// path is the old file or the whole new one. The cursor does not move. Returns the rows written.
// Throws DbfError; a character the code page can't hold names its row and field. utf8: in
// UTF-8 with a byte-order mark instead of the program's 8-bit page.
int WriteQuickCsv(Workspace& ws, const std::string& path, bool utf8 = false);

// "In format CSV": writes TempTableName(".CSV") in the program's data folder and opens it with
// the program the system associates with CSV files.
void ShowQuickCsv(Workspace& ws, bool utf8 = false);

}  // namespace orbelan
