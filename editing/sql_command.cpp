#include "editing/sql_command.h"

#include "core/workspace.h"
#include "engine/field_def.h"

namespace orbelan {

bool RunSql(Workspace& ws, const std::string& statement, const std::optional<std::string>& filter) {
    Query& q = ws.query;
    q.ClearSql();
    q.AddSql(statement);
    const auto first = statement.find_first_not_of(" \t\r\n");
    const bool select = first != std::string::npos &&
                        SameFieldName(std::string_view(statement).substr(first, 6), "SELECT");
    if (!select) {
        q.ExecSQL();
        return false;
    }
    q.Open();
    if (filter) {
        q.SetFilterText(*filter);
        q.SetFiltered(true);
    }
    q.First();
    return true;
}

}  // namespace orbelan
