#include "importing/import_table.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/cli_app.h"
#include "editing/commands_fixture.h"
#include "engine/dbf_file.h"
#include "engine/errors.h"

namespace orbelan {
namespace {

using test::WriteFileBytes;

class ImportTest : public test::CommandsTest {
  protected:
    std::string Csv(const std::string& bytes, const std::string& name = "s.csv") {
        const std::string path = dir.File(name);
        WriteFileBytes(path, bytes);
        return path;
    }
    // Every row of a source, cells as text joined by '|'.
    static std::vector<std::string> Rows(ImportSource& s) {
        std::vector<std::string> out;
        std::vector<Cell> row;
        while (s.Next(row)) {
            std::string line;
            for (const Cell& c : row) line += (line.empty() ? "" : "|") + CellText(c);
            out.push_back(line);
        }
        return out;
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
    } cases[] = {
        {"\xEF\xBB\xBFN;M\r\n\xC8\x98tefan;x\r\n", "", "utf-8", ';', "Ștefan|x"},
        {"N,M\n\xC8\x9B\x61r\xC4\x83,\"a,b\"\n", "", "utf-8", ',', "țară|a,b"},
        {"N\tM\n\xAAtefan \xE3\xEE\xFE\t1\n", "", "cp1250", '\t', "Ştefan ăîţ|1"},
        {"N;M\n\xB8tefan \xC7\x8C\xEE \xB8tefan;1\n", "", "cp852", ';', "Ştefan ăîţ Ştefan|1"},
        {"N;M\nZ\xB1\x62 \xB6wit \xFE;1\n", "", "iso-8859-2", ';', "Ząb świt ţ|1"},
        {"N;M\n\xB8tefan;1\n", "CP852", "cp852", ';', "Ştefan|1"},
    };
    for (const auto& c : cases) {
        auto s = OpenImportSource(Csv(c.bytes), {"", 0, c.given});
        EXPECT_EQ(s->encoding, c.encoding) << c.row;
        EXPECT_EQ(s->delimiter, c.delimiter) << c.row;
        EXPECT_EQ(Rows(*s), (std::vector<std::string>{"N|M", c.row}));
    }
}

TEST_F(ImportTest, QuotingLineBreaksAndShortOrTrailingCells) {
    auto s = OpenImportSource(Csv("A;B;C\n\"x\"\"y\";\"two\r\nlines\";\n\n1;2;3;\nlast;;"), {});
    EXPECT_EQ(Rows(*s),
              (std::vector<std::string>{"A|B|C", "x\"y|two\r\nlines|", "1|2|3", "last||"}));
    s->Rewind();
    EXPECT_EQ(Rows(*s).size(), 4u);
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
    const std::string src = Csv("Nume;Suma\nAna;12,5\nIoana Maria;x\nDan;7\n");
    auto s = OpenImportSource(src, {});
    ImportPreview p = PreviewSource(*s);
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
              "2:Randul 3, NUME: \"Ioana Maria\" are 11 caractere, campul tine 4.\n"
              "Randul 3, SUMA: \"x\" nu este un numar.\n");
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

struct CliRun {
    int code;
    std::string out, err;
};
CliRun Orbelan(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = RunOrbelan(args, out, err);
    return {code, out.str(), err.str()};
}

TEST_F(ImportTest, CommandLineImportDryRunRefusalAndAppend) {
    const std::string src = Csv("Nume;Suma\nAna;12,5\nDan;x\n");
    const std::string target = dir.File("n.dbf");
    CliRun r = Orbelan({"import", src, "-o", target, "--types", "SUMA=N(5,1)", "--dry-run"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out,
              "Codificare: utf-8; delimitator: ;\nCampuri: NUME C(3); SUMA N(5,1)\nLinii: 2\n"
              "1 valori nu incap in campurile lor:\nRandul 3, SUMA: \"x\" nu este un numar.\n");
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

}  // namespace
}  // namespace orbelan
