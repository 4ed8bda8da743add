#pragma once
// Opening a table the way the main window does it, shared with the command line.
#include <string>

#include "engine/table.h"

namespace orbelan {

// Clears the production-index flag (header byte 28) of a DBF file and deletes its .mdx and
// .cdx files. Does nothing when the file can't be opened for writing.
void DetachIndex(const std::string& file);

// Opens the table; when the only fault is a production index whose file is missing, detaches
// the index and opens again. Any other failure is thrown as it came, and nothing is written.
void OpenWithIndexRepair(Table& table);

// The file-name part of a path (after the last / or \).
std::string FileNamePart(const std::string& path);

}  // namespace orbelan
