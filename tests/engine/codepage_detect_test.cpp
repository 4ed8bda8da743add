// Reading a table whose header names no code page: the .cpg file, the guess from its text, and
// the guess measured over a set of generated person tables.
#include "engine/codepage_detect.h"

#include <gtest/gtest.h>

#include <iostream>
#include <map>

#include "engine/codepage.h"
#include "engine/dbf_file.h"
#include "support/dbf_builder.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

DbfOpenOptions Options(const std::string& defaultPage, const std::string& forced) {
    DbfOpenOptions o;
    o.defaultCodePage = defaultPage;
    o.codePageOverride = forced;
    return o;
}

// A table with one text column holding rows (UTF-8) in page, without a code page byte.
std::string TableIn(const test::TempDir& dir, const std::string& name, const std::string& page,
                    const std::vector<std::string>& rows) {
    const auto cp = CodePage::Get(page);
    std::vector<std::vector<std::string>> stored;
    for (const std::string& r : rows) stored.push_back({cp->Encode(r)});
    const std::string path = dir.File(name);
    test::WriteDbf(path, {{"NUME", 'C', 60}}, stored, 0);
    return path;
}

TEST(PageGuess, EachPageFromItsText) {
    struct Case {
        const char* page;
        std::vector<std::string> rows;
        const char* expected;
    };
    const Case cases[] = {
        {"cp1250", {"ŢĂRANU GHEORGHE", "Strada Mioriţei", "Bârlad"}, "cp1250"},
        {"cp852", {"ŢĂRANU GHEORGHE", "Strada Mioriţei", "Bârlad"}, "cp852"},
        {"cp852", {"ŞERBAN Ştefania", "Piaţa Unirii", "Tőkés Ödön"}, "cp852"},
        {"cp1252", {"DUPRÉ Hélène", "François Lefèvre", "Núñez García"}, "cp1252"},
        {"cp437", {"DUPRÉ Hélène", "François Lefèvre", "Núñez Ñandú"}, "cp437"},
        {"iso8859_2", {"ŠŤASTNÝ Ľubomír", "Łódź", "Šimková Žaneta"}, "iso8859_2"},
        {"iso8859_16", {"Szűcs Ștefan", "Gyűrűs Țuțu", "Șandru"}, "iso8859_16"},
        {"utf-8", {"ȘTEFĂNESCU Ioana", "Țăranu", "Kovács"}, "utf-8"},
        // Romanian letters have the same bytes in these three: the first candidate reads them.
        {"iso8859_2", {"ŢĂRANU GHEORGHE", "Strada Mioriţei", "Bârlad"}, "cp1250"},
    };
    test::TempDir dir;
    int n = 0;
    for (const Case& c : cases) {
        const std::string path = TableIn(dir, "t" + std::to_string(n++) + ".dbf", c.page, c.rows);
        const auto file = DbfFile::Open(path);
        EXPECT_EQ(file->Info().codePage, c.expected) << c.page << " " << c.rows[0];
        EXPECT_EQ(file->Info().pageSource, PageSource::Detected);
        EXPECT_EQ(file->Text(file->Record(0), 0, {}), c.rows[0]) << c.page;
    }
}

TEST(PageGuess, AsciiHeaderAndCpgFileWinOverTheGuess) {
    test::TempDir dir;
    const std::vector<std::string> rows = {"ŢĂRANU GHEORGHE", "Bârlad"};
    const auto ascii =
        DbfFile::Open(TableIn(dir, "a.dbf", "cp1250", {"POPESCU", "Iasi"}), Options("cp852", ""));
    EXPECT_EQ(ascii->Info().codePage, "cp852");
    EXPECT_EQ(ascii->Info().pageSource, PageSource::Ascii);

    // The .cpg file names the page, whatever the text looks like.
    const std::string cpg = TableIn(dir, "g.dbf", "cp852", rows);
    test::WriteFileBytes(dir.File("g.CPG"), "1250\r\n");
    EXPECT_EQ(DbfFile::Open(cpg)->Info().pageSource, PageSource::CpgFile);
    EXPECT_EQ(DbfFile::Open(cpg)->Info().codePage, "cp1250");
    for (const auto& [text, page] :
         std::vector<std::pair<std::string, std::string>>{{"UTF-8", "utf-8"},
                                                          {"ANSI 1252", "cp1252"},
                                                          {"88592", "iso8859_2"},
                                                          {"OEM 852", "cp852"}}) {
        test::WriteFileBytes(dir.File("g.CPG"), text);
        EXPECT_EQ(PageOfCpgFile(cpg), page) << text;
    }
    test::WriteFileBytes(dir.File("g.CPG"), "nimic");
    EXPECT_EQ(DbfFile::Open(cpg)->Info().codePage, "cp852");  // an unknown name: the guess

    // The header's byte and --codepage are never second-guessed; nothing is written by a guess.
    const std::string marked = dir.File("h.dbf");
    test::WriteDbf(marked, {{"NUME", 'C', 20}}, {{CodePage::Get("cp852")->Encode(rows[0])}}, 0x64);
    EXPECT_EQ(DbfFile::Open(marked)->Info().pageSource, PageSource::Header);
    const std::string before = test::ReadFileBytes(cpg);
    const auto forced = DbfFile::Open(cpg, Options("cp1250", "cp1250"));
    EXPECT_EQ(forced->Info().pageSource, PageSource::Override);
    EXPECT_EQ(test::ReadFileBytes(cpg), before);
}

}  // namespace
}  // namespace orbelan
