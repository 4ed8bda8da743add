#pragma once
#include <string>

namespace orbelan {

class Workspace;

// Adds a column to the open table: closes it, rewrites it with <column> <sqlType> added last and
// opens it again (its after-open notification refills the column chooser and the row counter).
// An engine error propagates with the table left closed and without a table name.
void AddColumn(Workspace& ws, const std::string& column, const std::string& sqlType);

}  // namespace orbelan
