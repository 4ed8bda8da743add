#pragma once
// One local-SQL statement typed by the user (the command line's `sql`).
#include <optional>
#include <string>

namespace orbelan {

class Workspace;

// Runs the statement through the workspace's query. A SELECT leaves the query open on its rows,
// through the filter when one is given, and returns true; any other statement is executed and
// returns false.
bool RunSql(Workspace& ws, const std::string& statement, const std::optional<std::string>& filter);

}  // namespace orbelan
