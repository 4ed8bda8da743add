// Reading a table whose header names no code page: the .cpg file, the guess from its text, and
// the guess measured over a set of generated person tables.
#include "engine/codepage_detect.h"

#include <gtest/gtest.h>

#include <iomanip>
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

// The guess measured: person tables of 20 to 10,000 rows written in each candidate page without
// the code page byte, their rows made here from lists no other test uses. Prints the confusion
// table; a wrong guess must read the same letters.
const char* const kSurnames[] = {
    "Mărgineanu", "Căpraru",   "Stănescu",   "Bălănescu",  "Ţepeş",    "Şerbănescu", "Vlădescu",
    "Nistor",     "Cârstea",   "Pîrvulescu", "Drăgulescu", "Munteanu", "Ştefănoiu",  "Roşca",
    "Gheorghiţă", "Lăzărescu", "Ciobanu",    "Ţâru",       "Râpeanu",  "Olteanu",    "Bîrsan",
    "Năstase",    "Tănase",    "Coşbuc",     "Făgărăşan",  "Moraru",   "Buzatu",     "Petraşcu"};
const char* const kHungarian[] = {"Szőcs", "Kovács", "Tőkés", "Bálint", "Győrfi", "Fülöp",
                                  "Török", "Szűcs",  "Kis",   "Ördög",  "Bíró",   "Lőrinczi"};
const char* const kGiven[] = {"Ştefan", "Ţicu",   "Mădălina", "Cătălin",  "Ionuţ",   "Răzvan",
                              "Ileana", "Florin", "Andreea",  "Sânziana", "Dănuţ",   "Bogdan",
                              "Irina",  "Costel", "Oana",     "Mihaiţă",  "Viorica", "Aurel"};
const char* const kWestern[] = {"Hélène Dupré", "François Lefèvre", "Müller Jürgen", "Núñez Inés",
                                "Gómez Ramón",  "Brühl Käthe",      "Renée Bézier",  "Noël Cédric"};
const char* const kPlaces[] = {
    "Bacău",           "Piteşti",        "Brăila",   "Târgovişte", "Mediaş",   "Făgăraş",
    "Călăraşi",        "Râmnicu Vâlcea", "Bistriţa", "Vaslui",     "Botoşani", "Odorheiu Secuiesc",
    "Sfântu Gheorghe", "Cluj-Napoca",    "Dej",      "Ţăndărei",   "Huşi",     "Găeşti"};
const char* const kStreets[] = {"Str. Mărăşeşti",  "Bd. Ştefan cel Mare", "Str. Lalelelor",
                                "Calea Bucureşti", "Aleea Trandafirilor", "Str. Ţebei",
                                "Piaţa Sfatului",  "Str. Zorilor",        "Şos. Olteniţei"};

struct Rng {
    uint64_t s;
    size_t operator()(size_t n) {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<size_t>((s >> 33) % n);
    }
};

// Capitals of the letters the lists hold: Latin-1's are 0x20 below, Latin Extended-A's one below.
std::string Upper(const std::string& text) {
    std::u32string chars;
    for (size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            chars += static_cast<char32_t>(std::toupper(b));
            ++i;
            continue;
        }
        char32_t cp = ((b & 0x1F) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F);
        i += 2;
        if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7)
            cp -= 0x20;
        else if (cp >= 0x100 && cp % 2 == 1)
            cp -= 1;
        chars += cp;
    }
    std::string out;
    for (const char32_t cp : chars) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

// The text as a program writing in page would store it: the comma-below and cedilla letters
// as the page has them, a letter it lacks by its base letter.
std::string Fit(const std::string& text, const CodePage& page) {
    static const std::string kAccented = "ăĂâÂîÎşŞţŢșȘțȚőŐűŰáÁéÉèÈíÍóÓöÖüÜúÚñÑçÇëËäÄ";
    static const std::string kPlain = "aAaAiIsStTsStToOuUaAeEeEiIoOoOuUuUnNcCeEaA";
    static const std::map<std::string, std::string> kComma = {
        {"ş", "ș"}, {"Ş", "Ș"}, {"ţ", "ț"}, {"Ţ", "Ț"}};
    std::string out;
    for (size_t i = 0; i < text.size();) {
        size_t len = 1;
        while (i + len < text.size() && (static_cast<unsigned char>(text[i + len]) & 0xC0) == 0x80)
            ++len;
        std::string ch = text.substr(i, len);
        i += len;
        if (page.Name() == "iso8859_16" || page.IsUtf8())
            if (auto c = kComma.find(ch); c != kComma.end()) ch = c->second;
        try {
            page.Encode(ch);
        } catch (const DbfError&) {
            ch = kPlain.at(kAccented.find(ch) / 2);
        }
        out += ch;
    }
    return out;
}

std::vector<std::vector<std::string>> PersonRows(const std::string& page, size_t count, Rng& rng) {
    const auto cp = CodePage::Get(page);
    // Western programs' tables hold some Western names; the rest are Romanian and Hungarian.
    const bool western = page == "cp1252" || page == "cp437";
    std::vector<std::vector<std::string>> rows;
    for (size_t r = 0; r < count; ++r) {
        const size_t kind = rng(10);
        std::string name = kind < 7   ? std::string(kSurnames[rng(std::size(kSurnames))])
                           : kind < 9 ? std::string(kHungarian[rng(std::size(kHungarian))])
                           : western  ? std::string(kWestern[rng(std::size(kWestern))])
                                      : std::string(kSurnames[rng(std::size(kSurnames))]);
        if (rng(2) == 0) name = Upper(name);
        const std::string address = std::string(kStreets[rng(std::size(kStreets))]) + " nr. " +
                                    std::to_string(1 + rng(140));
        rows.push_back({cp->Encode(Fit(name, *cp)),
                        cp->Encode(Fit(kGiven[rng(std::size(kGiven))], *cp)),
                        cp->Encode(Fit(kPlaces[rng(std::size(kPlaces))], *cp)),
                        cp->Encode(Fit(address, *cp))});
    }
    return rows;
}

// Every text of the table as read in page, the comma-below and cedilla letters taken as one.
std::string Reading(const std::string& path, const std::string& page) {
    const auto file = DbfFile::Open(path, Options("cp1250", page));
    std::string out;
    for (uint32_t r = 0; r < file->RecordCount(); ++r)
        for (int f = 0; f < file->FieldCount(); ++f)
            out += file->Text(file->Record(r), f, {}) + "|";
    for (const auto& [comma, cedilla] : std::vector<std::pair<std::string, std::string>>{
             {"ș", "ş"}, {"Ș", "Ş"}, {"ț", "ţ"}, {"Ț", "Ţ"}})
        for (size_t at = out.find(comma); at != std::string::npos; at = out.find(comma, at))
            out.replace(at, comma.size(), cedilla);
    return out;
}

TEST(PageGuessSet, RightOrReadingTheSameLetters) {
    test::TempDir dir;
    const size_t sizes[] = {20, 35, 80, 200, 500, 1000, 3000, 10000};
    std::map<std::string, std::map<std::string, int>> confusion;
    int tables = 0, right = 0, sameLetters = 0;
    Rng rng{2026};
    for (const std::string& page : GuessCandidates()) {
        for (int k = 0; k < 16; ++k) {
            const size_t count = sizes[k % std::size(sizes)];
            const std::string path = dir.File(page + std::to_string(k) + ".dbf");
            test::WriteDbf(path,
                           {{"NUME", 'C', 40},
                            {"PRENUME", 'C', 30},
                            {"LOCALIT", 'C', 30},
                            {"ADRESA", 'C', 60}},
                           PersonRows(page, count, rng), 0);
            const std::string guessed = DbfFile::Open(path)->Info().codePage;
            ++confusion[page][guessed];
            ++tables;
            if (guessed == page) {
                ++right;
            } else {
                const bool same = Reading(path, guessed) == Reading(path, page);
                sameLetters += same;
                EXPECT_TRUE(same) << page << " table " << k << " (" << count << " rows) read as "
                                  << guessed;
            }
        }
    }
    // ASCII tables are never called anything else.
    for (int k = 0; k < 4; ++k) {
        const std::string path = dir.File("ascii" + std::to_string(k) + ".dbf");
        test::WriteDbf(path, {{"NUME", 'C', 20}},
                       {{"POPESCU"}, {"IONESCU ANA"}, {"Str. Zorilor 3"}}, 0);
        EXPECT_EQ(DbfFile::Open(path)->Info().pageSource, PageSource::Ascii);
    }
    std::cout << "page guess over " << tables << " tables: " << right << " right, " << sameLetters
              << " read the same letters\n";
    for (const auto& [page, row] : confusion) {
        std::cout << "  " << std::setw(11) << page << " ->";
        for (const auto& [guessed, n] : row) std::cout << ' ' << guessed << ':' << n;
        std::cout << '\n';
    }
    EXPECT_GE((right + sameLetters) * 100, tables * 98);
}

}  // namespace
}  // namespace orbelan
