// Memo texts edited through the table, as the memo window and `orbelan set` write them, in each
// memo family; deleted rows shown and recalled.
#include <gtest/gtest.h>

#include <cstdio>

#include "engine/dbf_file.h"
#include "engine/dbf_writer.h"
#include "engine/errors.h"
#include "engine/table.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

struct MemoTable {
    const char* name;
    std::string (*make)(test::TempDir& dir);
    const char* field;
};

std::string DBase4(test::TempDir& dir) {
    const std::string path = dir.File("d4.dbf");
    DbfWriter::Definition d;
    d.version = 0x04;
    d.fields = {{"NUME", 'C', 10}, {"OBS", 'M', 10}};
    DbfWriter w(path, d);
    w.BeginRow();
    w.SetText(0, "A", {});
    w.SetMemo(1, "vechi");
    w.EndRow();
    w.Commit();
    return path;
}

const MemoTable kTables[] = {
    {"dBase III", [](test::TempDir& d) { return d.CopyData("dbase3_memo_cp1250.dbf"); }, "OBS"},
    {"dBase IV", DBase4, "OBS"},
    {"FoxPro", [](test::TempDir& d) { return d.CopyData("foxpro_memo_cp852.dbf"); }, "OBS"},
    {"Visual FoxPro", [](test::TempDir& d) { return d.CopyData("visual_foxpro_types.dbf"); },
     "NOTE"},
};

#ifndef _WIN32
// The memo as another program reads it (python3-dbfread), or why it couldn't.
std::string PeerReads(const std::string& path, const std::string& field) {
    const std::string command =
        "/usr/bin/python3 -c \"import dbfread,sys; t=dbfread.DBF(sys.argv[1], "
        "encoding=sys.argv[3], char_decode_errors='replace'); "
        "sys.stdout.buffer.write(next(iter(t))[sys.argv[2]].encode())\" '" +
        path + "' " + field + " ";
    std::string out;
    Table probe;
    probe.SetTableName(path);
    probe.Open();
    const std::string page = probe.Header().codePage;
    probe.Close();
    FILE* p = popen((command + page + " 2>&1").c_str(), "r");
    if (p == nullptr) return "popen failed";
    char buf[512];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    pclose(p);
    // dbfread takes a dBase IV block's length, which counts its 8-byte head, for the text's:
    // it reads the padding after the text too.
    while (!out.empty() && out.back() == '\0') out.pop_back();
    return out;
}
#endif

TEST(MemoEdit, TextWrittenAndReadBackInEveryFamily) {
    const std::string text = "Prima linie \xC8\x99i \xC8\x9B\r\na doua linie";  // ș ț comma-below
    const std::string stored = "Prima linie \xC5\x9Fi \xC5\xA3\r\na doua linie";  // ş ţ cedilla
    for (const MemoTable& m : kTables) {
        SCOPED_TRACE(m.name);
        test::TempDir dir;
        const std::string path = m.make(dir);
        Table t;
        t.SetTableName(path);
        t.Open();
        const int field = t.FieldIndexOrThrow(m.field);
        const std::string second = t.RecordCount() > 1 ? t.TextAt(1, field) : "";
        t.First();
        t.SetText(field, text);
        t.Post();
        EXPECT_EQ(t.CellTextAt(0, field), "Prima linie \xC5\x9Fi \xC5\xA3...");
        t.Close();
        t.Open();
        EXPECT_EQ(t.TextAt(0, field), stored);
        if (t.RecordCount() > 1) {
            EXPECT_EQ(t.TextAt(1, field), second);  // its block untouched
        }
        t.Close();
#ifndef _WIN32  // the peer reader is a Linux program: the Wine stage checks the engine only
        EXPECT_EQ(PeerReads(path, m.field), stored);
#endif
    }
}

TEST(MemoEdit, CharacterTheCodePageLacksIsRefusedAndNothingWritten) {
    test::TempDir dir;
    const std::string path = dir.CopyData("foxpro_memo_cp852.dbf");
    const std::string memo = path.substr(0, path.size() - 3) + "fpt";
    const std::string before = test::ReadFileBytes(path) + test::ReadFileBytes(memo);
    Table t;
    t.SetTableName(path);
    t.Open();
    try {
        t.SetText(t.FieldIndexOrThrow("OBS"), "pret 5 \xE2\x82\xAC");  // €
        FAIL() << "no refusal";
    } catch (const DbfError& e) {
        EXPECT_NE(std::string(e.what()).find("'\xE2\x82\xAC'"), std::string::npos) << e.what();
    }
    t.Close();
    EXPECT_EQ(test::ReadFileBytes(path) + test::ReadFileBytes(memo), before);
}

TEST(MemoEdit, CellShowsFirstLineLongTextCutAndBinaryByLength) {
    test::TempDir dir;
    Table t;
    t.SetTableName(dir.CopyData("dbase3_memo_cp1250.dbf"));
    t.Open();
    const int obs = t.FieldIndexOrThrow("OBS");
    EXPECT_EQ(t.CellTextAt(0, obs),
              "Observa\xC5\xA3ie: \xC5\x9F"
              "coal\xC4\x83 \xC3\xAEn Deva");
    EXPECT_EQ(t.CellTextAt(2, obs), "linia 1...");
    EXPECT_EQ(t.CellTextAt(3, obs, 20), "Memo lung: abcdefghi...");
    EXPECT_EQ(t.CellTextAt(1, obs), "");

    const std::string path = dir.File("g.dbf");
    DbfWriter::Definition d;
    d.version = 0x30;
    d.fields = {{"POZA", 'G', 4}};
    DbfWriter w(path, d);
    w.BeginRow();
    w.SetMemoBytes(0, std::string("\x00\x01\x02", 3), 0);
    w.EndRow();
    w.Commit();
    Table g;
    g.SetTableName(path);
    g.Open();
    EXPECT_EQ(g.CellTextAt(0, 0), "(BINAR, 3 octeti)");
    g.First();
    g.SetMemoBytes(0, std::string("\xFF\x00\x1A\x01\x02", 5));  // a file loaded as it is
    g.Post();
    EXPECT_EQ(g.Data().MemoBytes(g.RecordAt(0), 0).bytes, std::string("\xFF\x00\x1A\x01\x02", 5));
    EXPECT_EQ(g.CellTextAt(0, 0), "(BINAR, 5 octeti)");
}

TEST(MemoEdit, MemoTextsInTheFilterAndInSearch) {
    test::TempDir dir;
    Table t;
    t.SetTableName(dir.CopyData("dbase3_memo_cp1250.dbf"));
    t.Open();
    const std::pair<const char*, int> cases[] = {
        {"OBS='linia*'", 1}, {"OBS<>'linia*'", 7}, {"OBS='x'", 1}, {"OBS='Observa\xC5\xA3ie*'", 1}};
    for (const auto& [filter, rows] : cases) {
        t.SetFilterText(filter);
        t.SetFiltered(true);
        EXPECT_EQ(t.RecordCount(), rows) << filter;
    }
    t.SetFiltered(false);
    EXPECT_TRUE(t.Locate("OBS", "ultimul"));
    EXPECT_EQ(t.AsText(0), "\xC5\xA2\xC4\x82RAN");
}

TEST(DeletedRows, ShownMarkedRecalledAndCounted) {
    test::TempDir dir;
    const std::string path = dir.CopyData("dbase3_memo_cp1250.dbf");
    Table t;
    t.SetTableName(path);
    t.Open();
    EXPECT_EQ(t.RecordCount(), 8);
    EXPECT_EQ(t.CountDeleted(), 2);
    t.SetShowingDeleted(true);
    ASSERT_EQ(t.RecordCount(), 10);
    EXPECT_TRUE(t.IsDeletedAt(3));
    EXPECT_FALSE(t.IsDeletedAt(4));
    t.MoveTo(3);
    t.Recall();
    EXPECT_FALSE(t.IsDeletedAt(3));
    t.SetFilterText("NUME='STERS*'");
    t.SetFiltered(true);
    EXPECT_EQ(t.RecallVisible(), 1);
    t.SetFiltered(false);
    t.Close();
    t.SetShowingDeleted(false);
    t.Open();
    EXPECT_EQ(t.CountDeleted(), 0);
    EXPECT_EQ(t.RecordCount(), 10);
    EXPECT_EQ(t.TextAt(3, 0), "STERS UNU");
}

}  // namespace
}  // namespace orbelan
