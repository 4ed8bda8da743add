#pragma once
// Local SQL: the statement is given line by line, then executed (no rows) or opened (rows).
// An opened query is a read-only dataset with the same cursor, filter and locate as a table.
#include <string>
#include <string_view>
#include <vector>

#include "engine/table.h"

namespace orbelan {

struct SqlDelete;
struct SqlAlterTable;
struct SqlUpdate;
struct SqlCreateTable;

// A table path (or any name) as a statement takes it: in double quotes, each quote doubled.
std::string SqlQuoted(std::string_view name);

class Query : public Table {
  public:
    Query();
    ~Query() override;

    void ClearSql();
    void AddSql(const std::string& line);
    std::string SqlText() const;  // the lines joined with blanks

    // DELETE, ALTER TABLE, UPDATE, CREATE TABLE. Throws DbfError (Sql) naming the offending word.
    // DELETE marks rows in place; ALTER TABLE and UPDATE write a new file and rename it over the
    // table, so a failure (a value that doesn't fit, a full disk) leaves the table as it was.
    void ExecSQL();
    // The table ExecSQL would rewrite through a new file (ALTER TABLE, UPDATE); empty for any
    // other statement or one that does not parse.
    std::string RewrittenTable() const;
    // SELECT ... [ORDER BY f] | SELECT f, COUNT(*) AS NR FROM ... GROUP BY f
    void Open() override;

  private:
    void ExecDelete(const std::string& statement, const SqlDelete& s);
    void ExecAlter(const SqlAlterTable& s);
    void ExecUpdate(const std::string& statement, const SqlUpdate& s);
    void ExecCreate(const SqlCreateTable& s);
    void RemoveResult();

    std::vector<std::string> lines_;
    // The result table of a SELECT with chosen columns or GROUP BY, in the temporary folder;
    // removed when the query is opened again, cleared or destroyed.
    std::string resultPath_;
    std::string resultMemoPath_;
};

}  // namespace orbelan
