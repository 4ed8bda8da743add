#pragma once
// Opening a table the way the main window does it, shared with the command line.
#include <optional>
#include <string>

#include "engine/dbf_file.h"  // DetachIndex
#include "engine/table.h"

namespace orbelan {

// Opens the table; when the only fault is a production index whose file is missing, detaches
// the index and opens again. Any other failure of the opening is thrown as it came, or, when
// failure is given, kept there (the table stays closed; it is tried once more first); nothing
// else is written. A failure of the repair itself is always thrown: it is no unreadable file.
void OpenWithIndexRepair(Table& table, std::optional<ErrorKind>* failure = nullptr);

// The two paths name the same existing file (links and letter case as the system sees them).
bool SameFile(const std::string& a, const std::string& b);

// The file-name part of a path (after the last / or \).
std::string FileNamePart(const std::string& path);

}  // namespace orbelan
