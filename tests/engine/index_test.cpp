// Index files: the tags other programs wrote read and checked against their tables; our own
// rebuild, in-place upkeep (with page splits and merges), seeks and damage detection.
#include "engine/index/index_set.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <set>

#include "engine/dbf_file.h"
#include "engine/errors.h"
#include "engine/file_io.h"
#include "engine/index/key_expr.h"
#include "support/dbf_builder.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::string CopyIndexData(const TempDir& dir, const std::vector<std::string>& names) {
    for (const std::string& n : names)
        fs::copy_file(fs::path(ORBELAN_TEST_DATA) / "indexes" / n, dir.Path() / n);
    return dir.File(names.front());
}

std::unique_ptr<DbfFile> OpenTable(const std::string& path) {
    DbfOpenOptions o;
    o.checkProductionIndex = false;
    return DbfFile::Open(path, o);
}

std::set<std::string> TagsWithProblems(const IndexSet& set, const DbfFile& table) {
    std::set<std::string> tags;
    for (const IndexProblem& p : set.Check(table)) tags.insert(p.tag);
    return tags;
}

std::vector<std::pair<std::string, uint32_t>> KeysOf(const IndexSet& set, IndexSet::TagRef ref) {
    std::vector<std::pair<std::string, uint32_t>> keys;
    set.WalkKeys(ref, [&](const std::string& k, uint32_t r) {
        keys.emplace_back(k, r);
        return true;
    });
    return keys;
}

void SetProductionFlag(const std::string& table) {
    FileHandle h = FileHandle::OpenReadWrite(table);
    const uint8_t one = 1;
    h.WriteAt(28, &one, 1);
}

// The table's bytes changed behind DbfFile's back (which, changing a table, detaches its index).
void WriteRow(const std::string& table, const DbfFile& open, uint32_t r, const std::string& row) {
    FileHandle h = FileHandle::OpenReadWrite(table);
    h.WriteAt(open.Layout().headerLength + uint64_t(r) * open.RecordLength(), row.data(),
              row.size());
    if (r >= open.RecordCount()) {
        const uint32_t count = r + 1;
        h.WriteAt(4, &count, 4);
    }
}

void Install(std::vector<std::unique_ptr<TempFile>> files) {
    for (auto& f : files) f->RenameOverTarget();
}

// Every corpus table with the index files its program wrote: the tags are found (whatever the
// letter case of the file's name), read, and checked against the rows. The tags check-index
// reports are those whose files really disagree with the table (stale keys left by the program
// that last changed the table, keys out of order). Tags whose program ordered them without
// regard to case and accents read and check right, but are not ours to keep.
TEST(IndexCorpus, EveryTagIsReadAndChecked) {
    struct Case {
        std::vector<std::string> files;
        std::vector<std::string> attached;
        size_t tags;
        std::set<std::string> foreignOrder;  // listed as not keepable
        std::set<std::string> stale;         // check-index finds keys that disagree
    };
    const std::vector<Case> cases = {
        {{"TEST10K.DBF", "TEST10K.CDX", "10kState.ntx"},
         {"10kState.ntx"},
         8,
         {"CITY", "LAST"},
         {"FIRST", "10KSTATE"}},  // one pair of keys out of order; every .ntx key is "IL"
        {{"customers.dbf", "Customers.CDX"},
         {},
         5,
         {"CITY", "COMPANYNAM"},
         {"CUSTOMERID", "POSTALCODE", "REGION"}},
        {{"orders.dbf", "orders.cdx"}, {}, 6, {}, {}},
        {{"products.dbf", "products.cdx"}, {}, 4, {}, {}},
        {{"categories.dbf", "categories.fpt", "Categories.CDX"}, {}, 2, {}, {"CATEGORYID"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.files.front());
        TempDir dir;
        const std::string path = CopyIndexData(dir, c.files);
        auto table = OpenTable(path);
        std::vector<std::string> attached;
        for (const auto& a : c.attached) attached.push_back(dir.File(a));
        auto set = IndexSet::Open(*table, attached);
        size_t tags = 0;
        std::set<std::string> unkeepable;
        for (const IndexFileInfo& f : set->Files())
            for (const IndexTagInfo& t : f.tags) {
                ++tags;
                EXPECT_FALSE(t.expression.empty()) << t.name;
                if (!t.rebuildable) unkeepable.insert(t.name);
            }
        EXPECT_EQ(tags, c.tags);
        EXPECT_EQ(unkeepable, c.foreignOrder);
        EXPECT_EQ(TagsWithProblems(*set, *table), c.stale);
    }
}

// Our rebuild of each corpus tag we can keep gives the same keys in the same order as the
// program that wrote it. Printed: how many of the folder's tags that is.
TEST(IndexCorpus, RebuildGivesTheSameKeys) {
    const std::vector<std::vector<std::string>> tables = {
        {"TEST10K.DBF", "TEST10K.CDX", "10kState.ntx"},
        {"customers.dbf", "Customers.CDX"},
        {"orders.dbf", "orders.cdx"},
        {"products.dbf", "products.cdx"},
        {"categories.dbf", "categories.fpt", "Categories.CDX"}};
    int total = 0, same = 0;
    for (const auto& files : tables) {
        SCOPED_TRACE(files.front());
        TempDir dir;
        const std::string path = CopyIndexData(dir, files);
        auto table = OpenTable(path);
        std::vector<std::string> attached;
        if (files.back() == "10kState.ntx") attached.push_back(dir.File("10kState.ntx"));
        auto set = IndexSet::Open(*table, attached);
        std::map<std::string, std::vector<std::pair<std::string, uint32_t>>> before;
        std::vector<std::string> foreign;
        for (const IndexFileInfo& f : set->Files())
            for (const IndexTagInfo& t : f.tags) {
                ++total;
                if (t.rebuildable)
                    before[t.name] = KeysOf(*set, *set->FindTag(t.name));
                else
                    foreign.push_back(t.name);
            }
        for (const std::string& name : foreign) set->DropTag(name);
        Install(set->WriteRebuilt(*table));
        auto rebuilt = IndexSet::Open(*table, attached);
        EXPECT_TRUE(rebuilt->Check(*table).empty());
        for (const auto& [name, keys] : before) {
            const auto now = KeysOf(*rebuilt, *rebuilt->FindTag(name));
            if (now == keys) ++same;
        }
    }
    std::printf("corpus tags rebuilt with identical keys and order: %d of %d\n", same, total);
    EXPECT_GE(same, 15);
}

// A small table of ours with three tags (a field, an expression with a FOR condition, a number),
// built by the engine: in a production .cdx, or in three attached .ntx files.
class OwnIndex : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        ntx_ = GetParam();
        path_ = dir_.File("pers.dbf");
        std::vector<std::vector<std::string>> rows;
        std::mt19937 rng(7);
        const char* names[] = {"POPESCU", "Ionescu", "POP", "ZAHARIA", "Ana", "MUNTEANU"};
        for (int i = 0; i < rows_; ++i) {
            const std::string name = std::string(names[rng() % 6]) + std::to_string(rng() % 50);
            const std::string date = std::to_string(1950 + int(rng() % 60)) + "0" +
                                     std::to_string(1 + rng() % 9) + "1" +
                                     std::to_string(rng() % 9);
            // the .ntx keeps numbers as text, which this program writes for positive ones only
            const int sum = int(rng() % 200) - (ntx_ ? 0 : 50);
            rows.push_back({name, date, std::to_string(sum)});
        }
        test::WriteDbf(path_, {{"NUME", 'C', 20}, {"DATAN", 'D', 8}, {"SUMA", 'N', 6, 1}}, rows);
        auto table = OpenTable(path_);
        const std::vector<NewIndexTag> tags = {
            {"NUME", "NUME", "", false, false, false},
            {"ND", "UPPER(NUME)+DTOS(DATAN)", "!DELETED()", false, true, false},
            {"SUMA", "SUMA", "", false, false, false}};
        std::unique_ptr<IndexSet> set;
        if (ntx_) {
            set = IndexSet::Open(*table);
            for (const NewIndexTag& t : tags) {
                attached_.push_back(dir_.File(t.name + ".ntx"));
                set->AddTag(*table, t, set->AddFile(attached_.back()));
            }
        } else {
            set = IndexSet::CreateProduction(*table);
            for (const NewIndexTag& t : tags) set->AddTag(*table, t);
        }
        Install(set->WriteRebuilt(*table));
        if (!ntx_) SetProductionFlag(path_);
    }
    std::unique_ptr<IndexSet> OpenSet(const DbfFile& table) const {
        return IndexSet::Open(table, attached_);
    }

    TempDir dir_;
    std::string path_;
    std::vector<std::string> attached_;
    bool ntx_ = false;
    int rows_ = 3000;
};
INSTANTIATE_TEST_SUITE_P(Formats, OwnIndex, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "ntx" : "cdx"; });

// Posted edits, appends, deletions and recalls update the keys in place: after each batch
// check-index finds every tag current, while pages were split (the file grew) and emptied pages
// merged (a tag that lost most keys still reads right).
TEST_P(OwnIndex, InPlaceChangesKeepEveryTagCurrent) {
    auto table = OpenTable(path_);
    auto set = OpenSet(*table);
    ASSERT_EQ(set->Files().size(), ntx_ ? 3u : 1u);
    ASSERT_TRUE(set->Check(*table).empty());
    const auto sizeBefore = fs::file_size(set->Files()[0].path);  // NUME's
    std::mt19937 rng(11);
    auto post = [&](uint32_t r, const std::string& bytes) {
        const std::string old(reinterpret_cast<const char*>(table->Record(r)),
                              table->RecordLength());
        set->UpdateRecord(*table, r, reinterpret_cast<const uint8_t*>(old.data()),
                          reinterpret_cast<const uint8_t*>(bytes.data()));
        WriteRow(path_, *table, r, bytes);
    };
    for (int round = 0; round < 4; ++round) {
        for (int i = 0; i < 600; ++i) {
            const uint32_t r = rng() % table->RecordCount();
            std::string bytes(reinterpret_cast<const char*>(table->Record(r)),
                              table->RecordLength());
            switch (rng() % 4) {
                case 0:
                    bytes[0] = bytes[0] == '*' ? ' ' : '*';
                    break;  // delete / recall
                case 1:
                    bytes.replace(1, 20, std::string(20, 'A' + char(rng() % 26)));
                    break;
                case 2:
                    bytes.replace(1, 3, "MMM");
                    break;  // many equal keys: splits
                default:
                    bytes.replace(21, 8, "1999123" + std::to_string(rng() % 10));
                    break;
            }
            post(r, bytes);
        }
        for (int i = 0; i < 100; ++i) {
            std::string bytes(reinterpret_cast<const char*>(table->Record(0)),
                              table->RecordLength());
            bytes.replace(1, 4, "NOU" + std::to_string(i % 10));
            const uint32_t r = table->RecordCount();
            set->AppendRecord(*table, r, reinterpret_cast<const uint8_t*>(bytes.data()));
            WriteRow(path_, *table, r, bytes);
            table = OpenTable(path_);
        }
        const auto problems = set->Check(*table);
        for (const auto& p : problems) ADD_FAILURE() << p.tag << ": " << p.what;
    }
    EXPECT_GT(fs::file_size(set->Files()[0].path), sizeBefore);
    // Most keys go (every row marked deleted leaves the !DELETED() tag): pages empty and merge.
    for (uint32_t r = 0; r < table->RecordCount(); ++r) {
        if (r % 50 == 0 || table->Record(r)[0] == '*') continue;
        std::string bytes(reinterpret_cast<const char*>(table->Record(r)), table->RecordLength());
        bytes[0] = '*';
        post(r, bytes);
    }
    EXPECT_TRUE(set->Check(*table).empty());
    auto reopened = OpenSet(*OpenTable(path_));
    EXPECT_TRUE(reopened->Check(*table).empty());
    size_t left = 0, live = 0;
    reopened->Walk(*reopened->FindTag("ND"), [&](uint32_t) { return ++left, true; });
    for (uint32_t r = 0; r < table->RecordCount(); ++r) live += table->Record(r)[0] != '*';
    EXPECT_EQ(left, live);
}

// Seeks find exactly the rows a scan finds, for a value and a prefix, on the field's tag; the
// tag order walks the rows sorted by their key.
TEST_P(OwnIndex, SeekAndOrderAgreeWithAScan) {
    auto table = OpenTable(path_);
    auto set = OpenSet(*table);
    bool upper = true;
    const auto tag = set->TagForField("nume", &upper);
    ASSERT_TRUE(tag);
    EXPECT_FALSE(upper);
    for (const auto& [value, prefix] : std::vector<std::pair<std::string, bool>>{
             {"POPESCU7", false}, {"POP", true}, {"POP", false}, {"Ana1", true}, {"X", true}}) {
        std::vector<uint32_t> scan;
        for (uint32_t r = 0; r < table->RecordCount(); ++r) {
            std::string v = table->Text(table->Record(r), 0, {});
            if (prefix ? v.rfind(value, 0) == 0 : v == value) scan.push_back(r);
        }
        auto found = set->Seek(*tag, value, prefix);
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, scan) << value << (prefix ? "*" : "");
    }
    std::vector<uint32_t> order;
    set->Walk(*set->FindTag("SUMA"), [&](uint32_t r) { return order.push_back(r), true; });
    ASSERT_EQ(order.size(), table->RecordCount());
    for (size_t i = 1; i < order.size(); ++i) {
        const double a = std::stod(table->Text(table->Record(order[i - 1]), 2, {}));
        const double b = std::stod(table->Text(table->Record(order[i]), 2, {}));
        ASSERT_TRUE(a < b || (a == b && order[i - 1] < order[i])) << i;
    }
}

// Check-index catches each kind of damage: a truncated file, keys out of order, a wrong record
// number, a key missing for a row.
TEST_P(OwnIndex, CheckCatchesDamage) {
    // The NUME tag (keys of 20 bytes), damaged in its file's own layout.
    const std::string file = ntx_ ? attached_[0] : dir_.File("pers.cdx");
    const std::string good = test::ReadFileBytes(file);
    {
        auto table = OpenTable(path_);
        auto set = OpenSet(*table);
        ASSERT_TRUE(set->Check(*table).empty());
    }
    auto le = [](const std::string& b, size_t at, int n) {
        uint32_t v = 0;
        std::memcpy(&v, b.data() + at, size_t(n));
        return v;
    };
    auto be32 = [](const std::string& b, size_t at) {
        const auto* p = reinterpret_cast<const uint8_t*>(b.data() + at);
        return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
    };
    struct Case {
        const char* name;
        std::function<void(std::string&)> damage;
        std::string expect;  // words of the problem reported
    };
    std::vector<Case> cases = {
        {"truncated", [](std::string& b) { b.resize(b.size() - 700); }, "pagina"}};
    if (ntx_) {
        // the first leaf: down the first items' children from the root
        uint32_t leaf = le(good, 4, 4);
        while (uint32_t child = le(good, leaf + le(good, leaf + 2, 2), 4)) leaf = child;
        cases.push_back({"out of order",  // the leaf's first two items swap places
                         [=](std::string& b) {
                             for (int i = 0; i < 2; ++i)
                                 std::swap(b[leaf + 2 + i], b[leaf + 4 + i]);
                         },
                         "ordine"});
        const size_t firstRec = leaf + le(good, leaf + 2, 2) + 4;
        cases.push_back({"wrong record",
                         [=](std::string& b) { b[firstRec] = static_cast<char>(b[firstRec] ^ 1); },
                         "inregistrar"});
    } else {
        uint32_t tagHeader = 0;
        for (uint32_t at = 1024; at + 1024 <= good.size(); at += 512)
            if (good.compare(at + 512, 5, std::string("NUME\0", 5)) == 0) tagHeader = at;
        ASSERT_NE(tagHeader, 0u);
        uint32_t lowest = le(good, tagHeader, 4);  // the first interior page above leaves
        ASSERT_EQ(good[lowest] & 2, 0) << "the tag needs interior pages";
        while ((good[be32(good, lowest + 12 + 24)] & 2) == 0) lowest = be32(good, lowest + 12 + 24);
        const uint32_t leaf = be32(good, lowest + 12 + 24);
        cases.push_back({"out of order",  // two leaves swapped in their parent
                         [=](std::string& b) {
                             for (int i = 0; i < 4; ++i)
                                 std::swap(b[lowest + 36 + i], b[lowest + 64 + i]);
                         },
                         "ordine"});
        cases.push_back(
            {"wrong record",
             [=](std::string& b) { b[leaf + 24] = static_cast<char>(b[leaf + 24] ^ 1); },
             "inregistrar"});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = good;
        c.damage(bytes);
        test::WriteFileBytes(file, bytes);
        auto table = OpenTable(path_);
        auto set = OpenSet(*table);
        const auto problems = set->Check(*table);
        ASSERT_FALSE(problems.empty());
        bool named = false;
        for (const auto& p : problems) named = named || p.what.find(c.expect) != std::string::npos;
        EXPECT_TRUE(named) << problems.front().what;
    }
    // a row appended by a program that left the index alone
    test::WriteFileBytes(file, good);
    auto first = OpenTable(path_);
    WriteRow(path_, *first, first->RecordCount(),
             std::string(reinterpret_cast<const char*>(first->Record(0)), first->RecordLength()));
    auto table = OpenTable(path_);
    auto set = OpenSet(*table);
    std::set<std::string> missing;
    for (const auto& p : set->Check(*table))
        if (p.what.find("lipsesc") != std::string::npos) missing.insert(p.tag);
    EXPECT_EQ(missing, (std::set<std::string>{"NUME", "ND", "SUMA"}));
}

// Key expressions compute what the applications' own keys hold.
TEST(IndexKeys, ExpressionsGiveTheKeyBytes) {
    TempDir dir;
    const std::string path = dir.File("k.dbf");
    test::WriteDbf(path,
                   {{"NUME", 'C', 10}, {"DATAN", 'D', 8}, {"SUMA", 'N', 7, 2}, {"OK", 'L', 1}},
                   {{"Ana Pop", "19840215", "-12.5", "T"}});
    auto table = OpenTable(path);
    const uint8_t* rec = table->Record(0);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"NUME", "Ana Pop   "},
        {"UPPER(NUME)+DTOS(DATAN)", "ANA POP   19840215"},
        {"LOWER(LEFT(NUME,3))", "ana"},
        {"RIGHT(TRIM(NUME),3)+'|'", "Pop|"},
        {"SUBSTR(NUME,5,3)", "Pop"},
        {"PADL(ALLTRIM(NUME),9,'*')", "**Ana Pop"},
        {"PADR(LTRIM(NUME),8)", "Ana Pop "},
        {"STR(SUMA,8,2)", "  -12.50"},
        {"STR(VAL('42'),4)", "  42"},
        {"DTOC(DATAN)", "02/15/84"},
        {"IIF(OK,'DA','NU')", "DA"},
        {"IIF(DELETED(),'S','-')", "-"},
        {"IIF(SUMA<0 .AND. .NOT. NUME='Z','neg','poz')", "neg"},
    };
    for (const auto& [expr, want] : cases) {
        auto e = index_detail::KeyExpr::Compile(expr, table->Layout(), table->PagePtr());
        EXPECT_EQ(e.Eval(rec).text, want) << expr;
    }
    for (const char* bad : {"NUMEX", "UPPER(SUMA)", "LEFT(NUME)", "NUME+SUMA", "FOO(NUME)"})
        EXPECT_THROW(index_detail::KeyExpr::Compile(bad, table->Layout(), table->PagePtr()),
                     DbfError)
            << bad;
}

}  // namespace
}  // namespace orbelan
