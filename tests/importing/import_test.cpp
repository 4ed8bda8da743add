#include "importing/import_table.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "editing/commands_fixture.h"
#include "engine/dbf_file.h"
#include "engine/errors.h"
#include "fuzz/targets.h"
#include "support/cli_run.h"
#include "support/corpus_replay.h"
#include "support/workbook_builder.h"

namespace orbelan {
namespace {

using test::CliRun;
using test::Orbelan;
using test::WriteFileBytes;

class ImportTest : public test::CommandsTest {
  protected:
    std::string Csv(const std::string& bytes, const std::string& name = "s.csv") {
        const std::string path = dir.File(name);
        WriteFileBytes(path, bytes);
        return path;
    }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::vector<std::string> Stored(const std::string& path) {
        auto f = DbfFile::Open(path);
        std::vector<std::string> out;
        for (uint32_t r = 0; r < f->RecordCount(); ++r) {
            std::string line;
            for (int i = 0; i < static_cast<int>(f->Fields().size()); ++i)
                line += (i ? "|" : "") + f->Text(f->Record(r), i, {'.', "dd.MM.yyyy"});
            out.push_back(line);
        }
        return out;
    }
};

TEST_F(ImportTest, EncodingsDetectedOrGivenAndDelimitersFound) {
    const struct {
        std::string bytes, given, encoding;
        char delimiter;
        std::string row;
        int headerLine = 1;
    } cases[] = {
        {"\xEF\xBB\xBFN;M\r\n\xC8\x98tefan;x\r\n", "", "utf-8", ';', "Ștefan|x"},
        {"N,M\n\xC8\x9B\x61r\xC4\x83,\"a,b\"\n", "", "utf-8", ',', "țară|a,b"},
        {"N\tM\n\xAAtefan \xE3\xEE\xFE\t1\n", "", "cp1250", '\t', "Ştefan ăîţ|1"},
        {"N;M\n\xB8tefan \xC7\x8C\xEE \xB8tefan;1\n", "", "cp852", ';', "Ştefan ăîţ Ştefan|1"},
        {"N;M\nZ\xB1\x62 \xB6wit \xFE;1\n", "", "iso-8859-2", ';', "Ząb świt ţ|1"},
        {"N;M\n\xB8tefan;1\n", "CP852", "cp852", ';', "Ştefan|1"},
        // Lines of delimiters alone before the header are blank.
        {";;;\r\n;\r\nN;M\r\nx;y\r\n", "", "utf-8", ';', "x|y", 3},
        // One stray byte among UTF-8 letters: read as U+FFFD and counted, the rest as UTF-8.
        {"N;M\n\xC8\x98tef\xC4\x83n;Cluj\xAA\n", "", "utf-8", ';', "Ștefăn|Cluj\xEF\xBF\xBD"},
        {"N;M\n\xC8\x98t;\xED\xA0\x80\n", "utf-8", "utf-8", ';',
         "Șt|\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate is no character
    };
    for (const auto& c : cases) {
        auto s = OpenImportSource(Csv(c.bytes), {"", 0, c.given});
        EXPECT_EQ(s->encoding, c.encoding) << c.row;
        EXPECT_EQ(s->delimiter, c.delimiter) << c.row;
        EXPECT_EQ(test::SourceRows(*s),
                  (std::vector<std::string>{std::to_string(c.headerLine) + ":N|M",
                                            std::to_string(c.headerLine + 1) + ":" + c.row}));
        const long stray = c.row.find("\xEF\xBF\xBD") == std::string::npos ? 0
                           : c.given.empty()                               ? 1
                                                                           : 3;
        EXPECT_EQ(s->damagedBytes, stray) << c.row;
        if (stray > 0) {
            EXPECT_EQ(s->firstDamagedLine, 2);
        }
    }
}

TEST_F(ImportTest, QuotingLineBreaksAndShortOrTrailingCells) {
    auto s = OpenImportSource(Csv("A;B;C\n\"x\"\"y\";\"two\r\nlines\";\n\n1;2;3;\nlast;;"), {});
    const std::vector<std::string> rows = {"1:A|B|C", "2:x\"y|two\r\nlines|", "5:1|2|3",
                                           "6:last||"};
    EXPECT_EQ(test::SourceRows(*s), rows);
    s->Rewind();
    EXPECT_EQ(test::SourceRows(*s), rows);
}

TEST_F(ImportTest, MalformedSourcesNameThePlaceAndCreateNothing) {
    const struct {
        std::string name, bytes, message;
    } cases[] = {
        {"q.csv", "A;B\n1;2\n\"open;3\n4;5\n", "Ghilimelele deschise pe linia 3"},
        {"m.csv", "A;B\n1;2\n1;2;3\n", "Linia 3 are 3 valori, mai multe decat capul de tabel (2)"},
        {"t.csv", "A;B\n\"x\"y;2\n", "Linia 2: dupa ghilimelele"},
        {"d.xlsx", "PK\x03\x04 not really a workbook", "nu este un registru .xlsx"},
        {"d.xls", "\xD0\xCF\x11\xE0 broken", "nu este un registru .xls"},
    };
    for (const auto& c : cases) {
        if (c.name.find(".xls") != std::string::npos && !WorkbooksSupported()) continue;
        const std::string src = Csv(c.bytes, c.name);
        const auto before = Files();
        try {
            auto s = OpenImportSource(src, {});
            const ImportPreview p = PreviewSource(*s);
            ImportToNewTable(*s, p.columns, dir.File("new.dbf"), {}, {});
            ADD_FAILURE() << c.name << " was imported";
        } catch (const DbfError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
        EXPECT_EQ(Files(), before) << c.name;
    }
}

TEST_F(ImportTest, ValuesThatDontFitAreListedAndOnlyImportedWhenAccepted) {
    // An empty line between: the list numbers rows as the preview does, not by file line.
    const std::string src = Csv("Nume;Suma\nAna;12,5\n;\nIoana Maria;x\nDan;7\n");
    auto s = OpenImportSource(src, {});
    ImportPreview p = PreviewSource(*s);
    ASSERT_EQ(p.firstRows.size(), 3u);
    EXPECT_EQ(p.firstRows[1][0].text, "Ioana Maria");
    ApplyTypes(p.columns, "NUME=C(4); SUMA=N(4,1)", DbfFamily::DBase3);
    const std::string target = dir.File("new.dbf");
    std::vector<std::string> shown;
    const auto answer = [&](bool yes) {
        return [&shown, yes](const Misfits& m) {
            shown.push_back(std::to_string(m.count) + ":" + m.Text());
            return yes;
        };
    };
    ImportOutcome o = ImportToNewTable(*s, p.columns, target, {}, answer(false));
    EXPECT_FALSE(o.written);
    EXPECT_FALSE(std::filesystem::exists(target));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0],
              "2:Linia 2, NUME: \"Ioana Maria\" are 11 caractere, campul tine 4.\n"
              "Linia 2, SUMA: \"x\" nu este un numar.\n");
    o = ImportToNewTable(*s, p.columns, target, {}, answer(true));
    EXPECT_TRUE(o.written);
    EXPECT_EQ(Stored(target), (std::vector<std::string>{"Ana|12.5", "|", "Dan|7"}));
}

TEST_F(ImportTest, AppendMatchesNamesWithoutCaseOrDiacriticsAndListsTheRest) {
    OpenPersons({{"POP ION", "1", "2.50", "X"}});
    const std::string src = Csv("nume;Sumă;Extra\nAna;1.234,5;q\n");
    ui.mesajAnswers = {mrNo};
    EXPECT_FALSE(AppendFromSource(ws, src, {}, {}).written);
    EXPECT_EQ(ws.table.RecordCount(), 1);
    EXPECT_NE(ui.messages.back().text.find("Extra"), std::string::npos);

    const ImportOutcome o = AppendFromSource(ws, src, {}, {});
    EXPECT_TRUE(o.written);
    EXPECT_EQ(Column("NUME"), (std::vector<std::string>{"POP ION", "Ana"}));
    EXPECT_EQ(Column("SUMA"), (std::vector<std::string>{"2,5", "1234,5"}));
    EXPECT_TRUE(ui.mainWindowEnabled);
}

TEST_F(ImportTest, AppendSaysWhatItCannotAddAndAsksWhichColumnGoesToAField) {
    const struct {
        std::string csv;
        std::optional<int> choice;  // the window's answer; none: the command line's refusal
        bool written;
        std::string says;
        std::vector<std::string> names;
    } cases[] = {
        {"NUME;Nume\nA;B\n",
         std::nullopt,
         false,
         "Coloanele NUME si Nume din sursa merg in acelasi camp, NUME",
         {"POP ION"}},
        {"NUME;Nume\nA;B\n", 1, true, "", {"POP ION", "B"}},
        {"Nume;NUME;nr\nA;B;3\n", 0, true, "", {"POP ION", "A"}},
        {"NUME;Nume\nA;B\n", -1, false, "", {"POP ION"}},
        {"NUME\n\n", std::nullopt, false, "nu are niciun rand sub capul de tabel", {"POP ION"}},
        {"NUME;OBS\nIo\xC8\x99\xC8\x99n\xAA;x\n",
         std::nullopt,
         false,
         "Linia 1, NUME: \"Io\xC8\x99\xC8\x99n\xEF\xBF\xBD\" are octeti care nu sunt UTF-8",
         {"POP ION"}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.csv);
        OpenPersons({{"POP ION", "1", "2.50", "X"}}, "t" + std::to_string(++n) + ".dbf");
        ui.messages.clear();
        std::vector<std::string> asked;
        ChooseColumn choose;
        if (c.choice)
            choose = [&](const std::string& field, const std::vector<std::string>& columns) {
                asked.push_back(field + ":" + columns[0] + "," + columns[1]);
                return *c.choice;
            };
        std::string misfits;
        const ImportOutcome o = AppendFromSource(
            ws, Csv(c.csv), {},
            [&](const Misfits& m) {
                misfits = m.Text();
                return false;
            },
            choose);
        EXPECT_EQ(o.written, c.written);
        EXPECT_EQ(Column("NUME"), c.names);
        std::string said = misfits;
        for (const auto& m : ui.messages) said += m.text;
        if (!c.says.empty()) {
            EXPECT_NE(said.find(c.says), std::string::npos) << said;
        }
        if (c.choice) {
            EXPECT_EQ(asked, (std::vector<std::string>{c.csv[0] == 'N' && c.csv[1] == 'U'
                                                           ? "NUME:NUME,Nume"
                                                           : "NUME:Nume,NUME"}));
        }
    }
}

// The window and the command line ask the same question before a new table replaces a file.
TEST_F(ImportTest, AnExistingTargetIsReplacedOnlyAfterYes) {
    struct Case {
        bool exists;
        int answer;  // 6: Da, 7: Nu
        bool mayWrite;
        size_t asked;
    };
    const Case cases[] = {{false, 7, true, 0}, {true, 6, true, 1}, {true, 7, false, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.exists) + " " + std::to_string(c.answer));
        const std::string target = dir.File("nou.dbf");
        std::filesystem::remove(target);
        if (c.exists) WriteFileBytes(target, "x");
        ui.messages.clear();
        ui.mesajAnswers = {c.answer};
        EXPECT_EQ(MayWriteNewTable(ws.messages, target), c.mayWrite);
        ASSERT_EQ(ui.messages.size(), c.asked);
        if (c.asked) {
            EXPECT_NE(ui.messages[0].text.find("nou.dbf exista"), std::string::npos);
        }
    }
}

TEST_F(ImportTest, CommandLineImportDryRunRefusalAndAppend) {
    const std::string src = Csv("Nume;Suma\nAna;12,5\nDan;x\n");
    const std::string target = dir.File("n.dbf");
    CliRun r = Orbelan({"import", src, "-o", target, "--types", "SUMA=N(5,1)", "--dry-run"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out,
              "Codificare: utf-8; delimitator: ;\nCampuri: NUME C(3); SUMA N(5,1)\nLinii: 2\n"
              "1 valori nu incap in campurile lor:\n" + std::string(kImportNumbering) +
                  "\nLinia 2, SUMA: \"x\" nu este un numar.\n");
    r = Orbelan({"import", src, "-o", target, "--types", "SUMA=N(5,1)"});
    EXPECT_EQ(r.code, 2);
    EXPECT_FALSE(std::filesystem::exists(target));
    r = Orbelan({"import", src, "-o", target, "--types", "SUMA=N(5,1)", "--yes"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Stored(target), (std::vector<std::string>{"Ana|12.5", "Dan|"}));
    r = Orbelan({"append", target, Csv("NUME\nEva\n", "b.csv")});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Stored(target), (std::vector<std::string>{"Ana|12.5", "Dan|", "Eva|"}));
    r = Orbelan({"import", Csv("A\n\"x\n", "bad.csv"), "-o", dir.File("m.dbf")});
    EXPECT_EQ(r.code, 3);
    EXPECT_FALSE(std::filesystem::exists(dir.File("m.dbf")));
}

TEST_F(ImportTest, CommandLineTypesFollowTheFieldRulesOfTheFormat) {
    const std::string src = Csv("Nume;Suma\nAna;12,5\n");
    const struct {
        std::vector<std::string> options;
        int code;
        const char* says;
    } cases[] = {
        {{"--types", "suma=N(6,2)"}, 0, "Campuri: NUME C(3); SUMA N(6,2)\n"},
        {{"--types", "SUMA=B", "--format", "vfp"}, 0, "SUMA B"},
        {{"--types", "NUME=V(2)", "--format", "vfp"}, 1, "\"Ana\" are 3 caractere"},  // not cut
        {{"--types", "SUMA=I"}, 2, "Tipul I nu exista in formatul dBase III"},
        {{"--types", "SUMA=N(25,2)"}, 2, "lungimea intre 1 si"},
        {{"--types", "SUMA=N(4,4)"}, 2, "zecimale"},
        {{"--types", "SUMA=N(x)"}, 2, "SUMA=N(x)"},
        {{"--types", "SUMA N(5)"}, 2, "de forma NUME=C(30)"},
        {{"--types", "PRET=N(5)"}, 2, "Sursa nu are coloana PRET"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"import", src, "-o", dir.File("t.dbf"), "--dry-run"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const CliRun r = Orbelan(args);
        EXPECT_EQ(r.code, c.code) << c.options[1] << r.err;
        EXPECT_NE((r.out + r.err).find(c.says), std::string::npos) << r.out << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir.File("t.dbf")));
    }
}

// Each format's limits, for import and alter alike; a header too wide is refused before its
// rows are read.
TEST_F(ImportTest, CommandLineHoldsEachFormatToItsLimits) {
    const auto columns = [&](int n, const std::string& name) {
        std::string header, row;
        for (int i = 1; i <= n; ++i) {
            header += (i > 1 ? ";" : "") + std::string("C") + std::to_string(i);
            row += (i > 1 ? ";" : "") + std::to_string(i);
        }
        return Csv(header + "\n" + row + "\n", name);
    };
    const std::string wide = columns(130, "w130.csv");
    ASSERT_EQ(Orbelan({"create", dir.File("full.dbf"), "A C(1)"}).code, 0);
    std::vector<std::string> alter{"alter", dir.File("full.dbf")};
    for (int i = 1; i < 128; ++i) {
        alter.push_back("--add");
        alter.push_back("F" + std::to_string(i) + " C(1)");
    }
    const struct {
        std::vector<std::string> args;
        int code;
        const char* says;
    } cases[] = {
        {{"import", wide, "-o", dir.File("a.dbf"), "--dry-run"},
         2,
         "Un tabel dBase III are cel mult 128 de campuri; aici sunt 130."},
        {{"import", wide, "-o", dir.File("a.dbf"), "--format", "dbase4"}, 0, "Am importat 1 linii"},
        // A memo pointer takes 4 bytes in Visual FoxPro.
        {{"import", Csv("OBS\n" + std::string(300, 'x') + "\n", "long.csv"), "-o",
          dir.File("m.dbf"), "--format", "vfp", "--dry-run"},
         0,
         "Campuri: OBS M\n"},
        {{"import", columns(300, "w300.csv"), "-o", dir.File("b.dbf")},
         4,
         "Sursa are 300 de coloane; un tabel DBF are cel mult 255 de campuri."},
        {alter, 0, ""},
        {{"alter", dir.File("full.dbf"), "--add", "X C(1)"}, 2, "cel mult 128 de campuri"},
        {{"sql", "ALTER TABLE \"" + dir.File("full.dbf") + "\" ADD X CHAR(1)"}, 4, "ar avea 129"},
        {{"alter", dir.File("full.dbf"), "--set", "A C(254)",   "--set", "F1 C(254)",
          "--set", "F2 C(254)",          "--set", "F3 C(254)",  "--set", "F4 C(254)",
          "--set", "F5 C(254)",          "--set", "F6 C(254)",  "--set", "F7 C(254)",
          "--set", "F8 C(254)",          "--set", "F9 C(254)",  "--set", "F10 C(254)",
          "--set", "F11 C(254)",         "--set", "F12 C(254)", "--set", "F13 C(254)",
          "--set", "F14 C(254)",         "--set", "F15 C(254)"},
         2,
         "cel mult 4000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        const CliRun r = Orbelan(c.args);
        EXPECT_EQ(r.code, c.code) << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(c.says), std::string::npos) << r.out << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("b.dbf")));
}

// A dBase III memo ends at its first 0x1A: a text holding one is refused there, never stored
// cut; other memo files keep it.
TEST_F(ImportTest, MemoTextWithEndMarkIsRefusedOnlyWhereItWouldBeCut) {
    const std::string text =
        "inainte\x1A"
        "dupa";
    for (const char* format : {"dbase3", "dbase4", "foxpro"}) {
        SCOPED_TRACE(format);
        const bool cut = std::string(format) == "dbase3";
        const std::string table = dir.File(std::string(format) + ".dbf");
        ASSERT_EQ(Orbelan({"create", table, "OBS M", "--format", format}).code, 0);
        ASSERT_EQ(Orbelan({"append", table, Csv("OBS\nvechi\n", "v.csv")}).code, 0);
        CliRun r = Orbelan({"set", table, "1", "OBS", text});
        EXPECT_EQ(r.code, cut ? 4 : 0) << r.err;
        if (cut) {
            EXPECT_NE(r.err.find("0x1A"), std::string::npos) << r.err;
        }
        EXPECT_EQ(Orbelan({"get", table, "1", "OBS"}).out, (cut ? "vechi" : text) + "\n");
        r = Orbelan({"append", table, Csv("OBS\n\"" + text + "\"\n", "m.csv")});
        EXPECT_EQ(r.code, cut ? 2 : 0) << r.out << r.err;
        if (cut) {
            EXPECT_NE(r.out.find("Linia 1, OBS:"), std::string::npos) << r.out;
        }
        EXPECT_EQ(Orbelan({"get", table, "2", "OBS"}).code, cut ? 2 : 0);
    }
}

}  // namespace
}  // namespace orbelan

namespace orbelan {
namespace {

// The CSV fuzz target's corpus (seeds and every input a finding came from) replayed.
TEST(FuzzCorpus, EveryCsvInputRunsThroughItsTarget) {
    EXPECT_GT(
        test::ReplayCorpus(std::filesystem::path(ORBELAN_FUZZ_CORPUS) / "csv", &fuzz::CsvInput), 3);
}

}  // namespace
}  // namespace orbelan
