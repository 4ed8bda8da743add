#pragma once
// Local SQL: the statement is given line by line, then executed (no rows) or opened (rows).
// An opened query is a read-only dataset with the same cursor, filter and locate as a table.
#include <string>
#include <vector>

#include "engine/table.h"

namespace orbelan {

class Query : public Table {
public:
    Query();
    ~Query() override;

    void ClearSql();
    void AddSql(const std::string& line);
    std::string SqlText() const;  // the lines joined with blanks

    // DELETE, ALTER TABLE, UPDATE, CREATE TABLE. Throws DbfError (Sql) naming the offending word.
    void ExecSQL();
    // SELECT ... [ORDER BY f] | SELECT f, COUNT(*) AS NR FROM ... GROUP BY f
    void Open() override;

private:
    std::vector<std::string> lines_;
};

}  // namespace orbelan
