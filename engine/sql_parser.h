#pragma once
// The local SQL the program sends, parsed into plain structs for the executor (Query).
//
//   DELETE FROM "<path>" [WHERE <condition>]
//   SELECT * | <item>[, <item>...] FROM "<path>" [WHERE <condition>]
//          [GROUP BY <field>[, ...]] [ORDER BY <field> [ASC|DESC][, ...]]
//       <item>: <field> [AS <name>] | COUNT(*) [AS <name>]
//   ALTER TABLE "<path>" ADD <field> <type> | DROP <field> [, ADD ... | DROP ...]
//   UPDATE "<path>" SET <field>=<field or constant>[, ...] [WHERE <condition>]
//   CREATE TABLE "<path>" (<field> <type>[, ...])
//
// Keywords and types are case-insensitive; table names are paths in double quotes; column names
// are plain words (letters, digits, _), kept as written. One trailing ';' is allowed.
// Types and their DBF fields:
// clang-format off
//   CHAR(n), VARCHAR(n), CHARACTER(n)   C(n), n 1..254
//   DECIMAL(p[,s]), NUMERIC(p[,s])      N(p,s), p 1..20, s < p, s <= 15; DECIMAL alone N(10,0)
//   FLOAT(p[,s])                        F(p,s), same limits; FLOAT alone F(20,4)
//   INTEGER, INT                        N(11,0): every DBF version can hold it
//   SMALLINT                            N(6,0)
//   DATE                                D(8)
//   LOGICAL, BOOLEAN                    L(1)
//   MEMO, BLOB                          M(10)
// clang-format on
// A condition stays text: the executor compiles it against the table's fields with
// FilterExpression::CompileCondition(statement, where->offset, where->text.size(), ...), so
// its faults name positions in the whole statement.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/errors.h"
#include "engine/field_def.h"

namespace orbelan {

struct SqlCondition {
    std::string text;   // as written, without the WHERE
    size_t offset = 0;  // bytes from the start of the statement
};

struct SqlColumnType {
    char dbfType = 'C';  // C N F D L M
    int size = 0;
    int decimals = 0;
};

struct SqlColumnDef {
    // Upper-cased, checked: 1..10 ASCII letters, digits, _, not starting with a digit.
    std::string name;
    SqlColumnType type;
};

struct SqlOrderItem {
    std::string field;
    bool descending = false;
};

struct SqlSelectItem {
    enum class Kind { Field, CountAll };
    Kind kind = Kind::Field;
    std::string field;  // Field: the column as written; empty for COUNT(*)
    std::string alias;  // AS <name>, upper-cased as a DBF name; empty when not given
};

struct SqlDelete {
    std::string table;
    std::optional<SqlCondition> where;
};

struct SqlSelect {
    std::string table;
    bool allColumns = false;           // SELECT *
    std::vector<SqlSelectItem> items;  // empty with SELECT *
    std::optional<SqlCondition> where;
    std::vector<std::string> groupBy;  // every Field item must be listed here when not empty
    std::vector<SqlOrderItem> orderBy;
};

struct SqlAlterAction {
    enum class Kind { Add, Drop };
    Kind kind = Kind::Add;
    SqlColumnDef column;  // Drop: only the name, as written (not upper-cased)
};

struct SqlAlterTable {
    std::string table;
    std::vector<SqlAlterAction> actions;  // in the order written
};

struct SqlValue {
    enum class Kind { Field, Text, Number, Null };
    Kind kind = Kind::Null;
    std::string text;  // Field: the column as written; Text: the contents; Number: as written
};

struct SqlAssignment {
    std::string field;
    SqlValue value;
};

struct SqlUpdate {
    std::string table;
    std::vector<SqlAssignment> assignments;
    std::optional<SqlCondition> where;
};

struct SqlCreateTable {
    std::string table;
    std::vector<SqlColumnDef> columns;
};

using SqlStatement = std::variant<SqlDelete, SqlSelect, SqlAlterTable, SqlUpdate, SqlCreateTable>;

// Throws DbfError(ErrorKind::Sql) naming the offending word and its 1-based position:
// "Instructiune SQL incorecta: cuvant neasteptat 'FORM' la pozitia 8. Se astepta FROM."
SqlStatement ParseSql(std::string_view statement);

// The field a new column becomes (offset left 0). Throws DbfError(ErrorKind::Sql) for a name or
// size a DBF field can't have.
FieldDef ToFieldDef(const SqlColumnDef& column);

}  // namespace orbelan
