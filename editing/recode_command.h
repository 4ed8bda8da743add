#pragma once
// The table's code page: reading it as another page (nothing written) and converting its text
// into another page (one rewrite).
#include <string>
#include <vector>

#include "core/workspace.h"

namespace orbelan {

// The page the table is read in and where it came from: "cp852 (detectat)" for the status bar;
// detailed, with the guess's certainty and the .cpg file's name, for `orbelan info`.
std::string PageText(const HeaderInfo& header, bool detailed = false);

// The first rows' text fields as page reads them, one line per row, for choosing a page.
std::vector<std::string> TextPreview(const Table& table, const std::string& page, int rows = 4);

// Opens the table again reading its text in page; empty: as the file says (header, .cpg file or
// the guess). Writes nothing. A failure reopens it as it was read before, then is thrown.
void ReadTableAs(Workspace& ws, const std::string& page);

// Converts every text and memo value of the open table from the page it is read in to `page`,
// whose byte goes into the header. Characters the page lacks are listed first and the user
// chooses: on "no" nothing is written. With dryRun only the list (or that nothing would be lost)
// is said. Returns whether the table was rewritten.
bool ConvertTable(Workspace& ws, const std::string& page, bool dryRun = false);

}  // namespace orbelan
