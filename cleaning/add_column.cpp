#include "cleaning/add_column.h"

#include <variant>

#include "core/workspace.h"
#include "engine/dbf_file.h"
#include "engine/query.h"
#include "engine/rewrite.h"
#include "engine/sql_parser.h"

namespace orbelan {
namespace {

// The field of a column written as in SQL ("DECIMAL(6,0)"); the table's path is no part of the
// text parsed, so no quote in it can break or change the statement.
FieldDef ColumnField(const std::string& column, const std::string& sqlType) {
    const SqlStatement parsed = ParseSql("ALTER TABLE \"T\" ADD " + column + " " + sqlType);
    const auto& alter = std::get<SqlAlterTable>(parsed);
    return ToFieldDef(alter.actions.at(0).column);
}

}  // namespace

void AddColumn(Workspace& ws, const std::string& column, const std::string& sqlType) {
    const std::string path = ws.Tx.TableName();
    ws.CloseTable();

    // The query keeps the statement for the record, the path quoted; the rewrite below is the
    // engine's own, with no statement text parsed.
    ws.Sx.ClearSql();
    ws.Sx.AddSql("ALTER TABLE " + SqlQuoted(path));
    ws.Sx.AddSql("ADD " + column + " " + sqlType);
    try {
        const FieldDef def = ColumnField(column, sqlType);
        DbfOpenOptions options;
        options.defaultCodePage = ws.Sx.DefaultCodePage();
        options.codePageOverride = ws.Sx.CodePageOverride();
        options.checkProductionIndex = false;
        const auto source = DbfFile::Open(path, options);
        std::vector<FieldDef> fields = source->Fields();
        if (FindField(fields, def.name) >= 0)
            throw DbfError(ErrorKind::Sql, "Instructiune SQL incorecta: campul " + def.name +
                                               " exista deja in tabelul " + path + ".");
        fields.push_back(def);
        RewriteWithFields(*source, fields, ws.Sx.Format(), options);
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
