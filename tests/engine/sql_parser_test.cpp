#include "engine/sql_parser.h"

#include <gtest/gtest.h>

namespace orbelan {
namespace {

template <class T>
T Parse(const std::string& statement) {
    const SqlStatement s = ParseSql(statement);
    EXPECT_TRUE(std::holds_alternative<T>(s)) << statement;
    return std::holds_alternative<T>(s) ? std::get<T>(s) : T{};
}

std::string ErrorOf(const std::string& statement) {
    try {
        ParseSql(statement);
    } catch (const DbfError& e) {
        EXPECT_EQ(e.Kind(), ErrorKind::Sql);
        return e.what();
    }
    return "(no error)";
}

std::string Describe(const SqlColumnDef& c) {
    return c.name + " " + c.type.dbfType + "(" + std::to_string(c.type.size) + "," +
           std::to_string(c.type.decimals) + ")";
}

const std::string kPath = "C:\\Date\\persoane.dbf";
const std::string kTable = "\"" + kPath + "\"";

TEST(SqlParserTest, DeleteKeepsTheConditionTextAndItsOffset) {
    SqlDelete d = Parse<SqlDelete>("DELETE FROM " + kTable);
    EXPECT_EQ(d.table, kPath);
    EXPECT_FALSE(d.where);

    // The lines of the statement joined with a blank, as the program sends them.
    const std::string s = "DELETE FROM " + kTable + " WHERE NUME=\"POP\" AND (SUMA>12,5)";
    d = Parse<SqlDelete>(s);
    ASSERT_TRUE(d.where);
    EXPECT_EQ(d.where->text, "NUME=\"POP\" AND (SUMA>12,5)");
    EXPECT_EQ(s.substr(d.where->offset, d.where->text.size()), d.where->text);

    d = Parse<SqlDelete>("delete\nfrom " + kTable + "\nwhere NUME=\"O\"\"NEIL\" ;");
    ASSERT_TRUE(d.where);
    EXPECT_EQ(d.where->text, "NUME=\"O\"\"NEIL\"");  // the filter reads the doubled quote
}

TEST(SqlParserTest, SelectForms) {
    SqlSelect q = Parse<SqlSelect>("SELECT * FROM " + kTable);
    EXPECT_TRUE(q.allColumns);
    EXPECT_EQ(q.table, kPath);
    EXPECT_TRUE(q.orderBy.empty());

    q = Parse<SqlSelect>("SELECT * FROM " + kTable + " ORDER BY nume");
    ASSERT_EQ(q.orderBy.size(), 1u);
    EXPECT_EQ(q.orderBy[0].field, "nume");
    EXPECT_FALSE(q.orderBy[0].descending);

    q = Parse<SqlSelect>("SELECT * FROM " + kTable + " ORDER BY NUME DESC, PRENUME ASC");
    ASSERT_EQ(q.orderBy.size(), 2u);
    EXPECT_TRUE(q.orderBy[0].descending);
    EXPECT_EQ(q.orderBy[1].field, "PRENUME");
    EXPECT_FALSE(q.orderBy[1].descending);

    q = Parse<SqlSelect>("SELECT CNP, COUNT(*) AS NR FROM " + kTable + " GROUP BY CNP");
    EXPECT_FALSE(q.allColumns);
    ASSERT_EQ(q.items.size(), 2u);
    EXPECT_EQ(q.items[0].kind, SqlSelectItem::Kind::Field);
    EXPECT_EQ(q.items[0].field, "CNP");
    EXPECT_EQ(q.items[1].kind, SqlSelectItem::Kind::CountAll);
    EXPECT_EQ(q.items[1].alias, "NR");
    EXPECT_EQ(q.groupBy, std::vector<std::string>{"CNP"});

    // A condition ends at GROUP BY / ORDER BY outside quotes and parentheses.
    const std::string s =
        "SELECT NUME, SUMA FROM " + kTable + " WHERE NUME=\"ORDER BY\" OR (SUMA>1) ORDER BY SUMA";
    q = Parse<SqlSelect>(s);
    ASSERT_TRUE(q.where);
    EXPECT_EQ(q.where->text, "NUME=\"ORDER BY\" OR (SUMA>1)");
    EXPECT_EQ(s.substr(q.where->offset, q.where->text.size()), q.where->text);
    ASSERT_EQ(q.orderBy.size(), 1u);
    EXPECT_EQ(q.orderBy[0].field, "SUMA");

    q = Parse<SqlSelect>("SELECT COUNT(*) FROM " + kTable);
    ASSERT_EQ(q.items.size(), 1u);
    EXPECT_EQ(q.items[0].alias, "");
}

TEST(SqlParserTest, AlterTableAddsAndDropsInOrder) {
    SqlAlterTable a = Parse<SqlAlterTable>("ALTER TABLE " + kTable + " ADD ANCNP DECIMAL(6,0)");
    EXPECT_EQ(a.table, kPath);
    ASSERT_EQ(a.actions.size(), 1u);
    EXPECT_EQ(a.actions[0].kind, SqlAlterAction::Kind::Add);
    EXPECT_EQ(Describe(a.actions[0].column), "ANCNP N(6,0)");

    a = Parse<SqlAlterTable>(
        "alter table " + kTable +
        " add prenume_ char(24), ADD COLUMN NASCUT Date, DROP xx_, ADD A integer,"
        " ADD B LOGICAL, ADD C BOOLEAN, ADD D NUMERIC(12,2), ADD E FLOAT(10,3),"
        " ADD F VARCHAR(5), ADD G DECIMAL, ADD H SMALLINT, ADD I MEMO");
    std::vector<std::string> got;
    for (const SqlAlterAction& x : a.actions) {
        got.push_back(x.kind == SqlAlterAction::Kind::Drop ? "DROP " + x.column.name
                                                           : Describe(x.column));
    }
    EXPECT_EQ(
        got, (std::vector<std::string>{"PRENUME_ C(24,0)", "NASCUT D(8,0)", "DROP xx_", "A N(11,0)",
                                       "B L(1,0)", "C L(1,0)", "D N(12,2)", "E F(10,3)", "F C(5,0)",
                                       "G N(10,0)", "H N(6,0)", "I M(10,0)"}));
}

TEST(SqlParserTest, UpdateAssignmentsAndCondition) {
    SqlUpdate u = Parse<SqlUpdate>("UPDATE " + kTable + " SET DATAN=XX_");
    EXPECT_EQ(u.table, kPath);
    ASSERT_EQ(u.assignments.size(), 1u);
    EXPECT_EQ(u.assignments[0].field, "DATAN");
    EXPECT_EQ(u.assignments[0].value.kind, SqlValue::Kind::Field);
    EXPECT_EQ(u.assignments[0].value.text, "XX_");
    EXPECT_FALSE(u.where);

    u = Parse<SqlUpdate>("UPDATE " + kTable +
                         " SET A = 'x''y', B=-12.5, C=\"z\", D=null WHERE SUMA>0");
    ASSERT_EQ(u.assignments.size(), 4u);
    EXPECT_EQ(u.assignments[0].value.kind, SqlValue::Kind::Text);
    EXPECT_EQ(u.assignments[0].value.text, "x'y");
    EXPECT_EQ(u.assignments[1].value.kind, SqlValue::Kind::Number);
    EXPECT_EQ(u.assignments[1].value.text, "-12.5");
    EXPECT_EQ(u.assignments[2].value.text, "z");
    EXPECT_EQ(u.assignments[3].value.kind, SqlValue::Kind::Null);
    ASSERT_TRUE(u.where);
    EXPECT_EQ(u.where->text, "SUMA>0");
}

TEST(SqlParserTest, CreateTableAndFieldDefinitions) {
    const SqlCreateTable c =
        Parse<SqlCreateTable>("CREATE TABLE " + kTable + " (VALOARE CHAR(250), NR DECIMAL(10,0))");
    EXPECT_EQ(c.table, kPath);
    ASSERT_EQ(c.columns.size(), 2u);
    EXPECT_EQ(Describe(c.columns[0]), "VALOARE C(250,0)");
    EXPECT_EQ(Describe(c.columns[1]), "NR N(10,0)");

    const FieldDef f = ToFieldDef({"valoare", {'C', 250, 0}});
    EXPECT_EQ(f.name, "VALOARE");
    EXPECT_EQ(f.type, 'C');
    EXPECT_EQ(f.size, 250);
    EXPECT_EQ(ToFieldDef(c.columns[1]).decimals, 0);
    EXPECT_THROW(ToFieldDef({"PRENUMELE_MAMEI", {'C', 10, 0}}), DbfError);
    EXPECT_THROW(ToFieldDef({"NR", {'N', 21, 0}}), DbfError);
    EXPECT_THROW(ToFieldDef({"NR", {'X', 1, 0}}), DbfError);
}

TEST(SqlParserTest, FaultsNameTheWordAndItsPosition) {
    const std::string p = "Instructiune SQL incorecta: ";
    EXPECT_EQ(ErrorOf("DELETE FORM " + kTable),
              p + "cuvant neasteptat 'FORM' la pozitia 8. Se astepta FROM.");
    EXPECT_EQ(ErrorOf("DELET FROM " + kTable),
              p + "cuvant neasteptat 'DELET' la pozitia 1. Se astepta SELECT, DELETE, UPDATE, "
                  "ALTER TABLE sau "
                  "CREATE TABLE.");
    EXPECT_EQ(ErrorOf("   "), p + "instructiunea este goala.");
    EXPECT_EQ(
        ErrorOf("DELETE FROM tabel"),
        p + "cuvant neasteptat 'tabel' la pozitia 13. Se astepta numele tabelei intre ghilimele.");
    EXPECT_EQ(ErrorOf("DELETE FROM \"C:\\a.dbf"),
              p + "ghilimelele deschise la pozitia 13 nu sunt inchise.");
    EXPECT_EQ(ErrorOf("DELETE FROM \"a.dbf\" WHERE"),
              p + "instructiunea se termina la pozitia 26; lipseste conditia dupa WHERE.");
    EXPECT_EQ(ErrorOf("DELETE FROM \"a.dbf\" WHERE NUME='POP"),
              p + "apostroful deschis la pozitia 32 nu este inchis.");
    EXPECT_EQ(ErrorOf("SELECT * FROM \"a.dbf\" ORDER NUME"),
              p + "cuvant neasteptat 'NUME' la pozitia 29. Se astepta BY.");
    EXPECT_EQ(ErrorOf("SELECT * FROM \"a.dbf\" HAVING X"),
              p + "cuvant neasteptat 'HAVING' la pozitia 23. Se astepta sfarsitul instructiunii.");
    EXPECT_EQ(ErrorOf("SELECT NUME, COUNT(*) FROM \"a.dbf\" GROUP BY CNP"),
              p + "coloana NUME trebuie sa apara in GROUP BY.");
    EXPECT_EQ(ErrorOf("ALTER TABLE \"a.dbf\" ADD X TEXT"),
              p + "tip de coloana necunoscut 'TEXT' la pozitia 27. Tipuri posibile: CHAR(n), "
                  "DECIMAL(p,s), "
                  "NUMERIC(p,s), FLOAT(p,s), INTEGER, SMALLINT, DATE, LOGICAL, MEMO.");
    EXPECT_EQ(ErrorOf("ALTER TABLE \"a.dbf\" ADD X CHAR(255)"),
              p + "lungimea 255 a coloanei X nu este intre 1 si 254 (pozitia 25).");
    EXPECT_EQ(ErrorOf("ALTER TABLE \"a.dbf\" ADD X DECIMAL(25,0)"),
              p + "lungimea 25 a coloanei X nu este intre 1 si 20 (pozitia 25).");
    EXPECT_EQ(ErrorOf("ALTER TABLE \"a.dbf\" ADD X DECIMAL(6,6)"),
              p + "coloana X nu poate avea 6 zecimale la lungimea 6 (pozitia 25).");
    EXPECT_EQ(ErrorOf("ALTER TABLE \"a.dbf\" ADD X CHAR"),
              p + "instructiunea se termina la pozitia 31; lipseste '('.");
    EXPECT_EQ(ErrorOf("ALTER TABLE \"a.dbf\" ADD PRENUMELE_X CHAR(5)"),
              p + "numele de coloana 'PRENUMELE_X' are mai mult de 10 caractere (pozitia 25).");
    EXPECT_EQ(ErrorOf("ALTER TABLE \"a.dbf\" ADD ȘCOALA CHAR(5)"),
              p + "numele de coloana 'ȘCOALA' poate contine doar litere fara diacritice, cifre si "
                  "_ (pozitia 25).");
    EXPECT_EQ(ErrorOf("ALTER TABLE \"a.dbf\" ADD X DATE, ADD x CHAR(2)"),
              p + "coloana X este adaugata de doua ori (pozitia 37).");
    EXPECT_EQ(ErrorOf("ALTER TABLE \"a.dbf\" RENAME X"),
              p + "cuvant neasteptat 'RENAME' la pozitia 21. Se astepta ADD sau DROP.");
    EXPECT_EQ(ErrorOf("UPDATE \"a.dbf\" SET X=XX_ Y=1"),
              p + "cuvant neasteptat 'Y' la pozitia 26. Se astepta sfarsitul instructiunii.");
    EXPECT_EQ(ErrorOf("UPDATE \"a.dbf\" SET X="),
              p + "instructiunea se termina la pozitia 22; lipseste o coloana sau o valoare.");
    EXPECT_EQ(ErrorOf("CREATE TABLE \"a.dbf\" (A CHAR(2), a DATE)"),
              p + "coloana A apare de doua ori (pozitia 34).");
    EXPECT_EQ(ErrorOf("CREATE TABLE \"a.dbf\" (A CHAR(2)"),
              p + "instructiunea se termina la pozitia 32; lipseste ')'.");
}

}  // namespace
}  // namespace orbelan
