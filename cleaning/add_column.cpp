#include "cleaning/add_column.h"

#include "core/workspace.h"

namespace orbelan {

void AddColumn(Workspace& ws, const std::string& column, const std::string& sqlType) {
    const std::string path = ws.Tx.TableName();
    ws.CloseTable();

    ws.Sx.ClearSql();
    ws.Sx.AddSql("ALTER TABLE \"" + path + "\"");
    ws.Sx.AddSql("ADD " + column + " " + sqlType);
    try {
        ws.Sx.ExecSQL();
    } catch (...) {
        // A failed rewrite leaves the file as it was: show it again instead of no table.
        try {
            ws.Tx.SetTableName(path);
            ws.Tx.Open();
        } catch (const DbfError&) {
            ws.Tx.SetTableName("");
        }
        throw;
    }
    ws.progress.ProcessMessages();

    // Opened directly, not through OpenTable: a failure here is the engine's error to report,
    // not the "can't be read" question of a user's own open.
    ws.CurrentFile = path;
    ws.Tx.SetTableName(path);
    ws.Tx.Open();
    ws.progress.ProcessMessages();
}

}  // namespace orbelan
