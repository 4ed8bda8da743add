// The local SQL: each statement form on small tables, what it leaves in the files, its errors.
#include "engine/query.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "engine/dbf_file.h"
#include "engine/dbf_writer.h"
#include "engine/field_value.h"
#include "engine/file_io.h"
#include "support/dbf_builder.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

namespace fs = std::filesystem;

const FormatSettings kFmt{',', "dd.MM.yyyy"};

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

class QueryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        q_.SetFormatSettings(kFmt);
        path_ = dir_.File("PERS.DBF");
        // Row 3 is deleted; NUME repeats with different amounts to show a stable order.
        test::WriteDbf(
            path_, {{"NUME", 'C', 12}, {"SUMA", 'N', 8, 2}, {"DATAN", 'D', 8}, {"ACTIV", 'L', 1}},
            {{"POPESCU", "12.50", "20000101", "T"},
             {"IONESCU", "-3.25", "19991231", "F"},
             {"POPESCU", "7", "", " "},
             {"*IONESCU", "1", "19800101", "T"},
             {"\xAA"
              "TEFAN",
              "100", "18760219", "T"},
             {"ABRUDAN", "", "20200229", "F"},
             {"IONESCU", "5", "20010101", "T"}});
    }
    void TearDown() override { IoFaults().Reset(); }

    void Exec(std::initializer_list<std::string> lines) {
        q_.ClearSql();
        for (const std::string& line : lines) q_.AddSql(line);
        q_.ExecSQL();
    }
    void OpenQuery(std::initializer_list<std::string> lines) {
        q_.ClearSql();
        for (const std::string& line : lines) q_.AddSql(line);
        q_.Open();
    }
    // The statement's error, checking its kind.
    std::string ErrorOf(std::initializer_list<std::string> lines, ErrorKind kind,
                        bool open = false) {
        try {
            open ? OpenQuery(lines) : Exec(lines);
        } catch (const DbfError& e) {
            EXPECT_EQ(e.Kind(), kind) << e.what();
            return e.what();
        }
        return "(no error)";
    }
    // Each visible row of a dataset as "value|value|...".
    static std::vector<std::string> Rows(Table& t) {
        std::vector<std::string> out;
        for (t.First(); !t.Eof(); t.Next()) {
            std::string row;
            for (int f = 0; f < t.FieldCount(); ++f) row += (f ? "|" : "") + t.AsText(f);
            out.push_back(row);
        }
        return out;
    }
    std::vector<std::string> FileRows(const std::string& path) {
        Table t;
        t.SetTableName(path);
        t.SetFormatSettings(kFmt);
        t.Open();
        return Rows(t);
    }
    // The fields as "NUME C12, SUMA N8.2, ...".
    static std::string Structure(const Table& t) {
        std::string out;
        for (int i = 0; i < t.FieldCount(); ++i) {
            const FieldDef& f = t.Field(i);
            out += (i ? ", " : "") + f.name + " " + f.type + std::to_string(f.size) +
                   (f.decimals ? "." + std::to_string(f.decimals) : "");
        }
        return out;
    }
    static std::string Structure(const std::string& path) {
        Table t;
        t.SetTableName(path);
        t.Open();
        return Structure(t);
    }
    static std::vector<bool> DeletedFlags(const std::string& path) {
        auto f = DbfFile::Open(path);
        std::vector<bool> out;
        for (uint32_t i = 0; i < f->RecordCount(); ++i) out.push_back(f->IsDeleted(i));
        return out;
    }

    test::TempDir dir_;
    std::string path_;
    Query q_;
};

// ---------------------------------------------------------------- SELECT

TEST_F(QueryTest, SelectOrderByGivesTheLiveRowsInOrderAsAReadOnlyDataset) {
    OpenQuery({"SELECT * FROM " + Quoted(path_), "ORDER BY NUME"});
    EXPECT_EQ(Rows(q_), (std::vector<std::string>{
                            "ABRUDAN||29.02.2020|False", "IONESCU|-3,25|31.12.1999|False",
                            "IONESCU|5|01.01.2001|True", "POPESCU|12,5|01.01.2000|True",
                            "POPESCU|7||", "ŞTEFAN|100|19.02.1876|True"}));
    EXPECT_EQ(q_.RecordCount(), 6);

    // Cursor, filter and locate work over the order.
    q_.SetFilterText("SUMA>6");
    q_.SetFiltered(true);
    EXPECT_EQ(Rows(q_), (std::vector<std::string>{"POPESCU|12,5|01.01.2000|True", "POPESCU|7||",
                                                  "ŞTEFAN|100|19.02.1876|True"}));
    q_.SetFiltered(false);
    ASSERT_TRUE(q_.Locate("NUME", "POPESCU"));
    EXPECT_EQ(q_.RecNo(), 4);
    EXPECT_EQ(q_.AsText("SUMA"), "12,5");

    EXPECT_THROW(q_.SetText(0, "X"), DbfError);
    EXPECT_THROW(q_.Append(), DbfError);
    q_.ClearSql();
    EXPECT_FALSE(q_.Active());
    EXPECT_EQ(FileRows(path_).size(), 6u);  // nothing written
}

TEST_F(QueryTest, SelectWithWhereDescendingAndChosenColumns) {
    OpenQuery({"SELECT * FROM " + Quoted(path_), "WHERE ACTIV", "ORDER BY SUMA DESC"});
    EXPECT_EQ(Rows(q_), (std::vector<std::string>{"ŞTEFAN|100|19.02.1876|True",
                                                  "POPESCU|12,5|01.01.2000|True",
                                                  "IONESCU|5|01.01.2001|True"}));

    OpenQuery(
        {"SELECT SUMA AS VALOARE, NUME FROM " + Quoted(path_) + " WHERE SUMA<50 ORDER BY SUMA"});
    EXPECT_EQ(Structure(q_), "VALOARE N8.2, NUME C12");
    // An empty amount is smaller than every number, so SUMA<50 keeps it, first.
    EXPECT_EQ(Rows(q_), (std::vector<std::string>{"|ABRUDAN", "-3,25|IONESCU", "5|IONESCU",
                                                  "7|POPESCU", "12,5|POPESCU"}));
}

TEST_F(QueryTest, GroupByCountsDistinctValuesAndTheResultFilters) {
    // The result table goes to the temporary folder and disappears when the query is cleared.
    test::TempDir temp;
#ifdef _WIN32
    const char* kTempVariable = "TMP";  // what GetTempPathW reads first
#else
    const char* kTempVariable = "TMPDIR";
#endif
    const char* old = std::getenv(kTempVariable);
    const std::string saved = old ? old : "";
    test::SetEnv(kTempVariable, temp.Path().string());
    const auto files = [&] {
        return std::distance(fs::directory_iterator(temp.Path()), fs::directory_iterator());
    };

    OpenQuery({"SELECT NUME, COUNT(*) AS NR", "FROM " + Quoted(path_), "GROUP BY NUME"});
    EXPECT_EQ(files(), 1);
    EXPECT_EQ(Structure(q_), "NUME C12, NR N10");
    // The deleted IONESCU is not counted.
    EXPECT_EQ(Rows(q_),
              (std::vector<std::string>{"ABRUDAN|1", "IONESCU|2", "POPESCU|2", "ŞTEFAN|1"}));

    q_.SetFilterText("NR > 1");
    q_.SetFiltered(true);
    q_.First();
    EXPECT_EQ(q_.RecordCount(), 2);
    EXPECT_EQ(q_.AsText("NUME"), "IONESCU");
    EXPECT_EQ(q_.AsInteger(q_.FieldIndex("NR")), 2);
    q_.Close();
    q_.SetFiltered(false);
    q_.SetFilterText("");

    // Grouped by a number: 7 and 7.00 are one value; COUNT(*) alone counts the matching rows.
    test::WriteDbf(dir_.File("N.DBF"), {{"SUMA", 'N', 6, 2}},
                   {{"7"}, {"7.00"}, {""}, {"-1"}, {"*7"}, {""}});
    OpenQuery(
        {"SELECT SUMA, COUNT(*) AS NR FROM " + Quoted(dir_.File("N.DBF")) + " GROUP BY SUMA"});
    EXPECT_EQ(Rows(q_), (std::vector<std::string>{"|2", "-1|1", "7|2"}));
    OpenQuery({"SELECT COUNT(*) AS NR FROM " + Quoted(path_) + " WHERE SUMA > 1000"});
    EXPECT_EQ(Rows(q_), (std::vector<std::string>{"0"}));

    q_.ClearSql();
    EXPECT_EQ(files(), 0);
    if (old)
        test::SetEnv(kTempVariable, saved);
    else
        test::UnsetEnv(kTempVariable);
}

// ---------------------------------------------------------------- DELETE

TEST_F(QueryTest, DeleteMarksTheMatchingRowsInPlace) {
    // The filter box's NUME='POPESCU' arrives with double quotes; IONEL* is a literal in SQL.
    Exec({"DELETE FROM " + Quoted(path_), "WHERE NUME=\"POPESCU\""});
    EXPECT_EQ(DeletedFlags(path_),
              (std::vector<bool>{true, false, true, true, false, false, false}));
    Exec({"DELETE FROM " + Quoted(path_), "WHERE NUME=\"IONES*\""});
    EXPECT_EQ(DeletedFlags(path_),
              (std::vector<bool>{true, false, true, true, false, false, false}));

    // Constants follow the query's formats and code page.
    q_.SetFormatSettings(FormatSettings{'.', "MM/dd/yyyy"});
    Exec({"DELETE FROM " + Quoted(path_) + " WHERE DATAN=\"12/31/1999\" OR SUMA=100.00"});
    EXPECT_EQ(DeletedFlags(path_), (std::vector<bool>{true, true, true, true, true, false, false}));

    Exec({"DELETE FROM " + Quoted(path_)});
    EXPECT_EQ(DeletedFlags(path_), std::vector<bool>(7, true));
    EXPECT_EQ(DbfFile::Open(path_)->RecordCount(), 7u);  // marked, not removed
}

TEST_F(QueryTest, DeleteReadsTextInTheQuerysCodePage) {
    // No language driver: the query's default code page (cp852 here, S-comma = 0xB8) applies.
    const std::string path = dir_.File("CP852.DBF");
    test::WriteDbf(path, {{"NUME", 'C', 10}},
                   {{"\xB8"
                     "TEFAN"},
                    {"POP"}},
                   0);
    q_.SetDefaultCodePage("cp852");
    Exec({"DELETE FROM " + Quoted(path) + " WHERE NUME=\"ŞTEFAN\""});
    EXPECT_EQ(DeletedFlags(path), (std::vector<bool>{true, false}));
}

TEST_F(QueryTest, FaultyStatementsNameTheirProblemAndChangeNothing) {
    const std::string before = test::ReadFileBytes(path_);
    EXPECT_NE(ErrorOf({"DELETE FORM " + Quoted(path_)}, ErrorKind::Sql).find("'FORM'"),
              std::string::npos);
    EXPECT_NE(ErrorOf({"DELETE FROM " + Quoted(path_), "WHERE NUMEE=\"POP\""}, ErrorKind::Sql)
                  .find("NUMEE"),
              std::string::npos);
    EXPECT_EQ(ErrorOf({"SELECT * FROM " + Quoted(path_)}, ErrorKind::Sql),
              "Instructiunea SELECT intoarce linii: se deschide, nu se executa.");
    EXPECT_EQ(ErrorOf({"DELETE FROM " + Quoted(path_)}, ErrorKind::Sql, true),
              "Doar o instructiune SELECT intoarce linii; aceasta se executa, nu se deschide.");
    EXPECT_EQ(ErrorOf({"SELECT * FROM " + Quoted(path_), "ORDER BY PRENUME"}, ErrorKind::Sql, true),
              "Instructiune SQL incorecta: campul PRENUME nu exista in tabelul " + path_ + ".");
    EXPECT_EQ(test::ReadFileBytes(path_), before);

    EXPECT_EQ(
        ErrorOf({"DELETE FROM " + Quoted(dir_.File("LIPSA.DBF"))}, ErrorKind::CannotOpen).empty(),
        false);
    EXPECT_FALSE(FileExists(dir_.File("LIPSA.DBF")));
}

// ---------------------------------------------------------------- ALTER TABLE

// Record bytes of one field for every physical row.
std::vector<std::string> FieldBytes(const std::string& path, const std::string& name) {
    auto f = DbfFile::Open(path);
    const FieldDef& d = f->Fields()[static_cast<size_t>(f->FieldIndex(name))];
    std::vector<std::string> out;
    for (uint32_t i = 0; i < f->RecordCount(); ++i)
        out.emplace_back(reinterpret_cast<const char*>(f->Record(i)) + d.offset,
                         static_cast<size_t>(d.size));
    return out;
}

TEST_F(QueryTest, AlterAddsEmptyColumnsLastAndDropKeepsEveryOtherByte) {
    const auto nume = FieldBytes(path_, "NUME");
    const auto suma = FieldBytes(path_, "SUMA");
    const auto activ = FieldBytes(path_, "ACTIV");
    const auto flags = DeletedFlags(path_);

    Exec({"ALTER TABLE " + Quoted(path_), "ADD ANCNP DECIMAL(6,0), ADD PRENUME_ CHAR(24)"});
    Exec({"ALTER TABLE " + Quoted(path_), "ADD DATACNP DATE"});
    EXPECT_EQ(Structure(path_),
              "NUME C12, SUMA N8.2, DATAN D8, ACTIV L1, ANCNP N6, PRENUME_ C24, DATACNP D8");
    {
        auto f = DbfFile::Open(path_);
        EXPECT_EQ(f->Info().languageDriver, 0xC8);
        for (uint32_t i = 0; i < f->RecordCount(); ++i)
            for (int k = 4; k < 7; ++k) EXPECT_TRUE(f->IsEmpty(f->Record(i), k));
    }
    EXPECT_EQ(FieldBytes(path_, "NUME"), nume);
    EXPECT_EQ(FieldBytes(path_, "SUMA"), suma);
    EXPECT_EQ(DeletedFlags(path_), flags);  // a deleted row stays, still deleted

    Exec({"ALTER TABLE " + Quoted(path_), "DROP DATAN"});
    EXPECT_EQ(Structure(path_),
              "NUME C12, SUMA N8.2, ACTIV L1, ANCNP N6, PRENUME_ C24, DATACNP D8");
    EXPECT_EQ(FieldBytes(path_, "NUME"), nume);
    EXPECT_EQ(FieldBytes(path_, "ACTIV"), activ);
    EXPECT_EQ(DeletedFlags(path_), flags);

    const std::string before = test::ReadFileBytes(path_);
    EXPECT_EQ(ErrorOf({"ALTER TABLE " + Quoted(path_), "ADD nume CHAR(5)"}, ErrorKind::Sql),
              "Instructiune SQL incorecta: campul NUME exista deja in tabelul " + path_ + ".");
    EXPECT_EQ(ErrorOf({"ALTER TABLE " + Quoted(path_), "DROP DATAN"}, ErrorKind::Sql),
              "Instructiune SQL incorecta: campul DATAN nu exista in tabelul " + path_ + ".");
    EXPECT_EQ(test::ReadFileBytes(path_), before);
}

// Each row's memo text, deleted rows included.
std::vector<std::string> MemoTexts(const std::string& path, const std::string& field) {
    auto f = DbfFile::Open(path);
    std::vector<std::string> out;
    for (uint32_t i = 0; i < f->RecordCount(); ++i)
        out.push_back(f->Text(f->Record(i), f->FieldIndex(field), kFmt));
    return out;
}

TEST_F(QueryTest, AlterKeepsTheLanguageDriverByteTheFileHad) {
    const std::string path = dir_.CopyData("office_suite_no_ldid.dbf");
    Exec({"ALTER TABLE " + Quoted(path), "ADD X CHAR(5)"});
    const std::string bytes = test::ReadFileBytes(path);
    EXPECT_EQ(bytes[29], '\0');
    EXPECT_EQ(Structure(path), "NUME C14, SUMA N8.2, NR N3, DATAN D8, ACTIV L1, X C5");
}

// A Visual FoxPro table with a varchar NAME V(10) whose lengths live in _NullFlags:
// "AB" (short, length in the last byte) and "ABCDEFGHIJ" (full).
std::string VarcharTable() {
    std::string h(32, '\0');
    h[0] = 0x30;
    h[4] = 2;  // records
    const int headerLength = 32 + 2 * 32 + 1 + 263;
    h[8] = char(headerLength & 0xFF);
    h[9] = char(headerLength >> 8);
    h[10] = 12;  // record length
    h[29] = 0x03;
    const auto field = [](const char* name, char type, int offset, int size, int flags) {
        std::string d(32, '\0');
        d.replace(0, std::strlen(name), name);
        d[11] = type;
        d[12] = char(offset);
        d[16] = char(size);
        d[18] = char(flags);
        return d;
    };
    std::string out = h + field("NAME", 'V', 1, 10, 0) + field("_NullFlags", '0', 11, 1, 0x05);
    out += '\r' + std::string(263, '\0');
    out += std::string(" AB") + std::string(7, ' ') + '\x02' + '\x01';
    out += std::string(" ABCDEFGHIJ") + '\x00';
    return out + '\x1A';
}

TEST_F(QueryTest, AlterKeepsVisualFoxProVarcharValues) {
    const std::string path = dir_.File("VARCHAR.DBF");
    test::WriteFileBytes(path, VarcharTable());
    Exec({"ALTER TABLE " + Quoted(path), "ADD X CHAR(3)"});
    Table t;
    t.SetTableName(path);
    t.Open();
    std::vector<std::string> names;
    for (t.First(); !t.Eof(); t.Next()) names.push_back(t.AsText(0));
    EXPECT_EQ(names, (std::vector<std::string>{"AB", "ABCDEFGHIJ"}));
}

TEST_F(QueryTest, AlterKeepsMemoTextsOfDBaseAndVisualFoxProTables) {
    for (const auto& [name, memo] :
         {std::pair<std::string, std::string>{"dbase3_memo_cp1250.dbf", "OBS"},
          {"visual_foxpro_types.dbf", "NOTE"}}) {
        SCOPED_TRACE(name);
        const std::string path = dir_.CopyData(name);
        const auto texts = MemoTexts(path, memo);
        ASSERT_FALSE(texts.empty());
        const std::string first = DbfFile::Open(path)->Fields()[0].name;
        const auto firstBytes = FieldBytes(path, first);

        Exec({"ALTER TABLE " + Quoted(path), "ADD ANCNP DECIMAL(6,0)"});
        EXPECT_EQ(MemoTexts(path, memo), texts);
        EXPECT_EQ(FieldBytes(path, first), firstBytes);
        Exec({"ALTER TABLE " + Quoted(path), "DROP " + first});
        EXPECT_EQ(MemoTexts(path, memo), texts);
        EXPECT_EQ(DbfFile::Open(path)->Fields().back().name, "ANCNP");
    }
}

TEST_F(QueryTest, FailedRewriteLeavesTableAndMemoByteIdentical) {
    const std::string path = dir_.CopyData("dbase3_memo_cp1250.dbf");
    const std::string memo = dir_.File("dbase3_memo_cp1250.dbt");
    const std::string table = test::ReadFileBytes(path);
    const std::string memoBytes = test::ReadFileBytes(memo);
    for (int which = 0; which < 3; ++which) {
        SCOPED_TRACE(which);
        IoFaults().Reset();
        if (which == 0) IoFaults().failRenameAfter = 0;
        if (which == 1) IoFaults().failSyncAfter = 0;
        if (which == 2) IoFaults().failWriteAfter = 1;
        EXPECT_EQ(ErrorOf({"ALTER TABLE " + Quoted(path), "ADD X CHAR(3)"}, ErrorKind::Io).empty(),
                  false);
        IoFaults().Reset();
        if (which == 0) IoFaults().failRenameAfter = 0;
        if (which == 1) IoFaults().failSyncAfter = 0;
        if (which == 2) IoFaults().failWriteAfter = 1;
        EXPECT_EQ(ErrorOf({"UPDATE " + Quoted(path), "SET OBS=NUME"}, ErrorKind::Io).empty(),
                  false);
        IoFaults().Reset();
        EXPECT_EQ(test::ReadFileBytes(path), table);
        EXPECT_EQ(test::ReadFileBytes(memo), memoBytes);
    }
    // No temporary file is left beside the tables.
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_.Path()))
        names.push_back(e.path().filename().string());
    EXPECT_EQ(names.size(), 3u) << ::testing::PrintToString(names);  // PERS.DBF, .dbf, .dbt
}

// ---------------------------------------------------------------- UPDATE

TEST_F(QueryTest, UpdateCopiesValuesThroughTextOrRaw) {
    // The date-to-number conversion: XX_ gets the day numbers, the column is rebuilt as a number.
    Exec({"ALTER TABLE " + Quoted(path_), "ADD XX_ DECIMAL(6,0)"});
    {
        Table t;
        t.SetTableName(path_);
        t.Open();
        for (t.First(); !t.Eof(); t.Next()) {
            t.SetInteger(t.FieldIndex("XX_"), t.IsNull(2) ? 0 : 36526 + t.RecNo());
            t.Post();
        }
    }
    Exec({"ALTER TABLE " + Quoted(path_), "DROP DATAN"});
    Exec({"ALTER TABLE " + Quoted(path_), "ADD DATAN DECIMAL(6,0)"});
    Exec({"UPDATE " + Quoted(path_), "SET DATAN=XX_"});
    Exec({"ALTER TABLE " + Quoted(path_), "DROP XX_"});
    EXPECT_EQ(FileRows(path_),
              (std::vector<std::string>{"POPESCU|12,5|True|36527", "IONESCU|-3,25|False|36528",
                                        "POPESCU|7||0", "ŞTEFAN|100|True|36530",
                                        "ABRUDAN||False|36531", "IONESCU|5|True|36532"}));
    // The deleted row was left alone.
    EXPECT_EQ(FieldBytes(path_, "DATAN")[3], "      ");

    // Constants and fields of other types, with a condition.
    Exec({"UPDATE " + Quoted(path_), "SET NUME=SUMA, ACTIV=\"F\" WHERE SUMA > 6"});
    EXPECT_EQ(FileRows(path_),
              (std::vector<std::string>{"12,5|12,5|False|36527", "IONESCU|-3,25|False|36528",
                                        "7|7|False|0", "100|100|False|36530",
                                        "ABRUDAN||False|36531", "IONESCU|5|True|36532"}));
}

TEST_F(QueryTest, UpdateThatDoesNotFitNamesTheRowAndWritesNothing) {
    const std::string before = test::ReadFileBytes(path_);
    const std::string error = ErrorOf(
        {"UPDATE " + Quoted(path_), "SET SUMA=NUME WHERE NUME=\"IONESCU\""}, ErrorKind::Conversion);
    EXPECT_EQ(error.rfind("Linia 2: ", 0), 0u) << error;
    EXPECT_EQ(test::ReadFileBytes(path_), before);
    EXPECT_EQ(ErrorOf({"UPDATE " + Quoted(path_), "SET PRENUME=\"X\""}, ErrorKind::Sql),
              "Instructiune SQL incorecta: campul PRENUME nu exista in tabelul " + path_ + ".");
}

// ---------------------------------------------------------------- CREATE TABLE

TEST_F(QueryTest, CreateWritesAnEmptyDBase3TableReplacingAnOldOne) {
    const std::string path = dir_.File("Tmp.dbf");
    test::WriteFileBytes(path, "old contents");
    Exec({"CREATE TABLE " + Quoted(path), "(VALOARE CHAR(250), NR DECIMAL(10,0))"});
    const std::string bytes = test::ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 32u + 2 * 32 + 1 + 1);
    EXPECT_EQ(static_cast<uint8_t>(bytes[0]), 0x03);
    EXPECT_EQ(static_cast<uint8_t>(bytes[29]), 0xC8);
    EXPECT_EQ(bytes.substr(4, 4), std::string(4, '\0'));  // no rows
    EXPECT_EQ(Structure(path), "VALOARE C250, NR N10");

    EXPECT_NE(ErrorOf({"CREATE TABLE " + Quoted(path), "(A CHAR(2), a DATE)"}, ErrorKind::Sql)
                  .find("coloana A apare de doua ori"),
              std::string::npos);
    EXPECT_EQ(test::ReadFileBytes(path), bytes);
}

// Chosen columns of a Visual FoxPro table keep their nulls (and an empty value stays a value),
// ordered or grouped, whatever the column types.
TEST(QuerySelect, ChosenColumnsOfAVisualFoxProTableKeepTheirNulls) {
    test::TempDir dir;
    const std::string path = dir.File("VFP.DBF");
    DbfWriter::Definition def;
    def.version = 0x30;
    FieldDef nume{"NUME", 'C', 10};
    nume.flags = 0x02;
    FieldDef suma{"SUMA", 'N', 8};
    suma.flags = 0x02;
    FieldDef nota{"NOTA", 'V', 6};
    nota.flags = 0x02;
    def.fields = {nume, suma, nota};
    {
        DbfWriter w(path, def);
        const std::vector<std::vector<const char*>> rows = {
            {"ANA", nullptr, "ab"}, {nullptr, "3", nullptr}, {"", "0", ""}};
        const FieldCodec codec(w.Layout(), w.Page());
        for (const auto& row : rows) {
            w.BeginRow();
            for (size_t f = 0; f < 3; ++f) {
                if (row[f])
                    w.SetText(static_cast<int>(f), row[f], {});
                else
                    codec.SetEmpty(w.Row(), w.Layout().fields[f]);  // null
            }
            w.EndRow();
        }
        w.Commit();
    }
    for (const std::string tail : {"", " ORDER BY SUMA", " GROUP BY NUME, SUMA, NOTA"}) {
        SCOPED_TRACE(tail);
        Query q;
        q.AddSql("SELECT NOTA, SUMA, NUME FROM \"" + path + "\"" + tail);
        q.Open();
        std::vector<std::string> seen;
        const DbfFile& result = q.Data();
        for (q.First(); !q.Eof(); q.Next()) {
            std::string row;
            for (int f = 0; f < 3; ++f) {
                const FieldValue v = FieldReader(result.Layout(), result.FieldAt(f))
                                         .Read(q.RecordAt(q.CurrentRow()));
                row += (v.kind == ValueKind::Null ? "null" : "'" + q.AsText(f) + "'") + " ";
            }
            seen.push_back(row);
        }
        std::sort(seen.begin(), seen.end());
        EXPECT_EQ(seen,
                  (std::vector<std::string>{"'' '0' '' ", "'ab' null 'ANA' ", "null '3' null "}));
    }
}

}  // namespace
}  // namespace orbelan
