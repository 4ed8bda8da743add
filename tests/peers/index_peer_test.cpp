// Index files we write, read back by another program: XBase::Index (libdbd-xbase-perl, through
// tests/peers/index_keys.pl) walks every tag and must find the table's own keys, in order, with
// their record numbers. Our own tables (each format) after a rebuild and after in-place edits,
// appends, deletions and recalls; the corpus tables after a rebuild and the same changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>

#include "engine/dbf_file.h"
#include "engine/file_io.h"
#include "engine/index/index_set.h"
#include "support/dbf_builder.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

namespace fs = std::filesystem;
using Keys = std::vector<std::pair<uint32_t, std::string>>;  // record from 1, key bytes

// Keys compare without the padding the formats drop from their ends.
std::string Unpadded(std::string key) {
    while (!key.empty() && (key.back() == ' ' || key.back() == '\0')) key.pop_back();
    return key;
}

Keys PeerKeys(const std::string& file, const std::string& tag) {
    const std::string command =
        "perl " ORBELAN_PEERS_DIR "/index_keys.pl '" + file + "' '" + tag + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("perl can't be run");
    Keys keys;
    char line[4096];
    std::string errors;
    while (std::fgets(line, sizeof line, pipe)) {
        std::string l(line);
        if (!l.empty() && l.back() == '\n') l.pop_back();
        const size_t tab = l.find('\t');
        if (tab == std::string::npos) {
            errors += l + "\n";
            continue;
        }
        std::string bytes;
        const std::string hex = l.substr(tab + 1);
        for (size_t i = 0; i + 1 < hex.size(); i += 2)
            bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        keys.emplace_back(static_cast<uint32_t>(std::stoul(l.substr(0, tab))), Unpadded(bytes));
    }
    if (pclose(pipe) != 0 || !errors.empty())
        throw std::runtime_error("XBase::Index failed on " + file + ": " + errors);
    return keys;
}

Keys OurKeys(const IndexSet& set, IndexSet::TagRef ref) {
    Keys keys;
    set.WalkKeys(ref, [&](const std::string& k, uint32_t r) {
        keys.emplace_back(r + 1, Unpadded(k));
        return true;
    });
    return keys;
}

std::unique_ptr<DbfFile> OpenTable(const std::string& path) {
    DbfOpenOptions o;
    o.checkProductionIndex = false;
    return DbfFile::Open(path, o);
}

// Every tag of the set: check-index passes (each key is its record's value, none missing) and
// XBase::Index reads the same keys with the same records in the same order.
void ExpectPeerAgrees(const IndexSet& set, const DbfFile& table, const std::string& when) {
    SCOPED_TRACE(when);
    for (const IndexProblem& p : set.Check(table)) ADD_FAILURE() << p.tag << ": " << p.what;
    for (const IndexFileInfo& f : set.Files())
        for (const IndexTagInfo& t : f.tags) {
            if (!t.rebuildable) continue;
            const Keys ours = OurKeys(set, *set.FindTag(t.name));
            const Keys peer = PeerKeys(f.path, t.name);
            EXPECT_EQ(peer.size(), ours.size()) << f.path << " " << t.name;
            EXPECT_TRUE(peer == ours) << f.path << " " << t.name;
        }
}

void Install(std::vector<std::unique_ptr<TempFile>> files) {
    for (auto& f : files) f->RenameOverTarget();
}

// The changes a user makes to a table, each followed by the index's upkeep: an edit of a text
// field, an appended row, deletions and a recall. Written around DbfFile, which (changing a
// table itself) would detach its index.
void ChangeRows(const std::string& path, const std::vector<std::string>& attached, int textField,
                std::mt19937& rng) {
    auto table = OpenTable(path);
    auto set = IndexSet::Open(*table, attached);
    const uint32_t count = table->RecordCount();
    FileHandle h = FileHandle::OpenReadWrite(path);
    auto write = [&](uint32_t r, const std::string& bytes) {
        h.WriteAt(table->Layout().headerLength + uint64_t(r) * table->RecordLength(), bytes.data(),
                  bytes.size());
    };
    auto change = [&](uint32_t r, const std::function<void(std::string&)>& how) {
        std::string before(reinterpret_cast<const char*>(table->Record(r)), table->RecordLength());
        std::string after = before;
        how(after);
        set->UpdateRecord(*table, r, reinterpret_cast<const uint8_t*>(before.data()),
                          reinterpret_cast<const uint8_t*>(after.data()));
        write(r, after);
    };
    const FieldDef& text = table->Fields()[static_cast<size_t>(textField)];
    for (int i = 0; i < 40; ++i) {
        change(rng() % count, [&](std::string& b) {
            b.replace(static_cast<size_t>(text.offset), std::min(3, text.size), "QQQ", 0,
                      static_cast<size_t>(std::min(3, text.size)));
        });
        change(rng() % count, [](std::string& b) { b[0] = '*'; });
    }
    change(rng() % count, [](std::string& b) { b[0] = ' '; });
    std::string row(reinterpret_cast<const char*>(table->Record(0)), table->RecordLength());
    row[0] = ' ';
    for (const FieldDef& f : table->Fields())  // a new number for unique keys (candidate tags)
        if (f.type == 'I') {
            const int32_t v = static_cast<int32_t>(100000 + count);
            std::memcpy(row.data() + f.offset, &v, 4);
        }
    set->AppendRecord(*table, count, reinterpret_cast<const uint8_t*>(row.data()));
    write(count, row);
    const uint32_t more = count + 1;
    h.WriteAt(4, &more, 4);
    set->Flush();
}

class IndexPeer : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::system("perl -MXBase::Index -e 1 >/dev/null 2>&1") != 0)
            GTEST_FAIL() << "XBase::Index (libdbd-xbase-perl) is missing: tools/setup.sh";
    }
    test::TempDir dir_;
};

TEST_F(IndexPeer, OurTablesEachFormat) {
    for (const bool ntx : {false, true}) {
        SCOPED_TRACE(ntx ? "ntx" : "cdx");
        const std::string path = dir_.File(ntx ? "n.dbf" : "c.dbf");
        std::mt19937 rng(3);
        std::vector<std::vector<std::string>> rows;
        for (int i = 0; i < 4000; ++i)
            rows.push_back(
                {"NUME" + std::to_string(rng() % 700),
                 std::to_string(1940 + rng() % 70) + "0" + std::to_string(1 + rng() % 9) + "15",
                 std::to_string(rng() % 900)});
        test::WriteDbf(path, {{"NUME", 'C', 24}, {"DATAN", 'D', 8}, {"SUMA", 'N', 5, 0}}, rows);
        const std::vector<NewIndexTag> tags = {
            {"NUME", "NUME", "", false, false, false},
            {"ND", "UPPER(NUME)+DTOS(DATAN)", "!DELETED()", false, true, false},
            {"SUMA", "SUMA", "", false, false, false},
            {"DATAN", "DATAN", "", false, false, false}};
        std::vector<std::string> attached;
        {
            auto table = OpenTable(path);
            std::unique_ptr<IndexSet> set;
            if (ntx) {
                set = IndexSet::Open(*table);
                for (const NewIndexTag& t : tags) {
                    attached.push_back(dir_.File(t.name + ".ntx"));
                    set->AddTag(*table, t, set->AddFile(attached.back()));
                }
            } else {
                set = IndexSet::CreateProduction(*table);
                for (const NewIndexTag& t : tags) set->AddTag(*table, t);
            }
            Install(set->WriteRebuilt(*table));
            if (!ntx) {
                FileHandle h = FileHandle::OpenReadWrite(path);
                const uint8_t one = 1;
                h.WriteAt(28, &one, 1);
            }
        }
        {
            auto table = OpenTable(path);
            auto set = IndexSet::Open(*table, attached);
            ExpectPeerAgrees(*set, *table, "rebuilt");
            // the field's own bytes, sorted, are what a NUME tag holds
            Keys expected;
            for (uint32_t r = 0; r < table->RecordCount(); ++r)
                expected.emplace_back(
                    r + 1,
                    Unpadded(std::string(reinterpret_cast<const char*>(table->Record(r)) + 1, 24)));
            std::stable_sort(expected.begin(), expected.end(),
                             [](const auto& a, const auto& b) { return a.second < b.second; });
            const std::string file = ntx ? attached[0] : set->Files()[0].path;
            EXPECT_TRUE(PeerKeys(file, "NUME") == expected);
        }
        ChangeRows(path, attached, 0, rng);
        auto table = OpenTable(path);
        ExpectPeerAgrees(*IndexSet::Open(*table, attached), *table, "changed in place");
    }
}

// dBase IV's .mdx, written whole: its character tags after a rebuild, and after the table
// changed and the file was written again.
TEST_F(IndexPeer, OurMdx) {
    const std::string path = dir_.File("d4.dbf");
    std::mt19937 rng(4);
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < 3000; ++i)
        rows.push_back(
            {"Nume" + std::to_string(rng() % 500),
             "19" + std::to_string(40 + rng() % 60) + "0" + std::to_string(1 + rng() % 9) + "15"});
    test::WriteDbf(path, {{"NUME", 'C', 24}, {"DATAN", 'D', 8}}, rows);
    {
        FileHandle h = FileHandle::OpenReadWrite(path);
        const uint8_t dbase4 = 0x04;
        h.WriteAt(0, &dbase4, 1);
    }
    auto rebuild = [&](bool create) {
        auto table = OpenTable(path);
        std::unique_ptr<IndexSet> set;
        if (create) {
            set = IndexSet::CreateProduction(*table);
            set->AddTag(*table, {"NUME", "NUME", "", false, false, false});
            set->AddTag(*table, {"ND", "UPPER(NUME)+DTOS(DATAN)", "", false, true, false});
        } else {
            set = IndexSet::Open(*table);
        }
        EXPECT_FALSE(set->UpdatesInPlace());
        Install(set->WriteRebuilt(*table));
        FileHandle h = FileHandle::OpenReadWrite(path);
        const uint8_t one = 1;
        h.WriteAt(28, &one, 1);
    };
    rebuild(true);
    {
        auto table = OpenTable(path);
        auto set = IndexSet::Open(*table);
        ASSERT_EQ(set->Files().at(0).format, IndexFormat::Mdx);
        ExpectPeerAgrees(*set, *table, "rebuilt");
    }
    {
        FileHandle h = FileHandle::OpenReadWrite(path);
        auto table = OpenTable(path);
        for (int i = 0; i < 200; ++i) {
            const uint32_t r = rng() % table->RecordCount();
            h.WriteAt(table->Layout().headerLength + uint64_t(r) * table->RecordLength() + 1, "ZZ",
                      2);
        }
    }
    rebuild(false);
    auto table = OpenTable(path);
    ExpectPeerAgrees(*IndexSet::Open(*table), *table, "written again");
}

TEST_F(IndexPeer, CorpusTablesRebuiltAndChanged) {
    struct Case {
        std::vector<std::string> files;
        int textField;
    };
    const std::vector<Case> cases = {{{"TEST10K.DBF", "TEST10K.CDX"}, 0},
                                     {{"orders.dbf", "orders.cdx"}, 1},
                                     {{"products.dbf", "products.cdx"}, 1},
                                     {{"categories.dbf", "categories.fpt", "Categories.CDX"}, 1}};
    std::mt19937 rng(5);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.files.front());
        for (const std::string& n : c.files)
            fs::copy_file(fs::path(ORBELAN_TEST_DATA) / "indexes" / n, dir_.Path() / n,
                          fs::copy_options::overwrite_existing);
        const std::string path = dir_.File(c.files.front());
        {
            auto table = OpenTable(path);
            auto set = IndexSet::Open(*table);
            std::vector<std::string> foreign;  // tags kept in another program's order
            for (const IndexFileInfo& f : set->Files())
                for (const IndexTagInfo& t : f.tags)
                    if (!t.rebuildable) foreign.push_back(t.name);
            for (const std::string& name : foreign) set->DropTag(name);
            Install(set->WriteRebuilt(*table));
        }
        {
            auto table = OpenTable(path);
            ExpectPeerAgrees(*IndexSet::Open(*table), *table, "rebuilt");
        }
        ChangeRows(path, {}, c.textField, rng);
        auto table = OpenTable(path);
        ExpectPeerAgrees(*IndexSet::Open(*table), *table, "changed in place");
    }
}

}  // namespace
}  // namespace orbelan
