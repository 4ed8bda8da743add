// Romanian alphabetical order of text: the letters' own places, capitals with small letters,
// ties settled by the bytes; the sort and the filter's < > follow it.
#include "engine/romanian_order.h"

#include <gtest/gtest.h>

#include <map>

#include "engine/codepage.h"
#include "engine/dbf_file.h"
#include "engine/filter.h"
#include "engine/order_by.h"
#include "support/dbf_builder.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

const std::vector<std::string> kAlphabet = {"A", "Ă", "Â", "B", "C", "D", "E", "F", "G", "H", "I",
                                            "Î", "J", "K", "L", "M", "N", "O", "P", "Q", "R", "S",
                                            "Ş", "T", "Ţ", "U", "V", "W", "X", "Y", "Z"};

std::string Lower(const std::string& letter) {
    static const std::map<std::string, std::string> kSmall = {
        {"Ă", "ă"}, {"Â", "â"}, {"Î", "î"}, {"Ş", "ş"}, {"Ţ", "ţ"}};
    if (auto it = kSmall.find(letter); it != kSmall.end()) return it->second;
    return std::string(1, static_cast<char>(std::tolower(letter[0])));
}

TEST(RomanianOrder, EveryLetterPairInEachPage) {
    // Every pair, capital or small on either side, in the pages tables come in; the byte order
    // disagrees on many of them (cp1250: X 0x58 before Ş 0xAA before Ă 0xC3).
    for (const char* name : {"cp1250", "cp852", "iso8859_2", "utf-8"}) {
        const auto page = CodePage::Get(name);
        const RomanianOrder& order = RomanianOrder::For(*page);
        int disagreeing = 0;
        for (size_t i = 0; i < kAlphabet.size(); ++i)
            for (size_t j = i + 1; j < kAlphabet.size(); ++j)
                for (const auto& [a, b] : {std::pair{kAlphabet[i], kAlphabet[j]},
                                           std::pair{Lower(kAlphabet[i]), kAlphabet[j]},
                                           std::pair{kAlphabet[i], Lower(kAlphabet[j])}}) {
                    const std::string ea = page->Encode(a + "X"), eb = page->Encode(b + "A");
                    disagreeing += ea > eb;
                    EXPECT_LT(order.Compare(ea, eb), 0) << name << ' ' << a << " " << b;
                    EXPECT_GT(order.Compare(eb, ea), 0) << name << ' ' << a << " " << b;
                }
        EXPECT_GT(disagreeing, 0) << name;
    }
}

TEST(RomanianOrder, OneLetterWhateverItsCaseOrTwinTiesByBytes) {
    const auto page = CodePage::Get("utf-8");
    const RomanianOrder& order = RomanianOrder::For(*page);
    // Capital and small, comma and cedilla: the same letter, told apart only when all else ties.
    EXPECT_LT(order.Compare("ana", "ANDREI"), 0);
    EXPECT_LT(order.Compare("Țuțu", "ţuţuianu"), 0);
    EXPECT_LT(order.Compare("Şerban", "Șerbu"), 0);
    EXPECT_NE(order.Compare("Ș", "Ş"), 0);
    EXPECT_EQ(order.Compare("Ș", "Ş"), -order.Compare("Ş", "Ș"));
    EXPECT_LT(order.Compare("POP", "POPA"), 0);
    EXPECT_EQ(order.Compare("Pop", "Pop"), 0);
}

TEST(RomanianOrder, SortAndFilterOfATable) {
    test::TempDir dir;
    const auto cp = CodePage::Get("cp1250");
    const std::vector<std::string> names = {"X",    "ŞTEFĂNESCU", "Ţurcanu", "ABRAHAM", "ĂLBUŞ",
                                            "Sava", "ştefan",     "TOMA",    "Îon",     "ion"};
    std::vector<std::vector<std::string>> rows;
    for (const std::string& n : names) rows.push_back({cp->Encode(n)});
    const std::string path = dir.File("t.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 20}}, rows);
    const auto file = DbfFile::Open(path);
    EXPECT_EQ(OrderedRecords(*file, 0), (std::vector<uint32_t>{3, 4, 9, 8, 5, 6, 1, 7, 2, 0}));
    EXPECT_EQ(OrderRecords(*file, {0, 1, 2, 3}, {SortKey{0, true}}),
              (std::vector<uint32_t>{0, 2, 1, 3}));

    const auto passing = [&](const std::string& condition) {
        const auto filter =
            FilterExpression::Compile(condition, file->Layout(), file->Page(), FormatSettings{});
        std::vector<uint32_t> out;
        for (uint32_t r = 0; r < file->RecordCount(); ++r)
            if (filter->Matches(file->Record(r))) out.push_back(r);
        return out;
    };
    EXPECT_EQ(passing("NUME < 'B'"), (std::vector<uint32_t>{3, 4}));
    EXPECT_EQ(passing("NUME >= 'Ş'"), (std::vector<uint32_t>{0, 1, 2, 6, 7}));
    EXPECT_EQ(passing("NUME = 'ion'"), (std::vector<uint32_t>{9}));  // = stays exact
}

}  // namespace
}  // namespace orbelan
