#include "editing/sql_command.h"

#include "core/command_guard.h"
#include "core/restore_points.h"
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
        const std::string rewritten = q.RewrittenTable();
        if (rewritten.empty()) {
            q.ExecSQL();
            return false;
        }
        CommandGuard guard(ws, {.freezeGrid = false, .name = "SQL"});
        WithRestorePoint(ws, rewritten, [&] { q.ExecSQL(); });
        guard.Finish();
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
