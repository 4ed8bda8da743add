// Another program working on a table we have open: shortening it under us must be reported,
// never kill the program; writing it while we write is refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "engine/dbf_file.h"
#include "engine/table.h"
#include "support/dbf_builder.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

// 3000 rows of 41 bytes: about 30 pages of data, all listed by the first scan step. Row 2000
// is deleted, so a pack rewrites the file.
std::string WriteRows(const test::TempDir& dir) {
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < 3000; ++i)
        rows.push_back({(i == 2000 ? "*NUME" : "NUME") + std::to_string(i), std::to_string(i)});
    const std::string path = dir.File("t.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 30}, {"NR", 'N', 10}}, rows);
    return path;
}

void ExpectChangeReported(const std::function<void()>& action) {
    try {
        action();
        ADD_FAILURE() << "no error";
    } catch (const DbfError& e) {
        EXPECT_EQ(e.Kind(), ErrorKind::Io);
        EXPECT_NE(std::string(e.what()).find("a fost schimbat de alt program"), std::string::npos)
            << e.what();
    }
}

#ifdef _WIN32
// Windows refuses to shorten a file while a view of it exists, so the table keeps its rows.
TEST(SharedTable, NotShortenedUnderAnOpenTable) {
    test::TempDir dir;
    const std::string path = WriteRows(dir);
    Table t;
    t.SetTableName(path);
    t.Open();
    const std::string row = t.TextAt(2500, 0);
    std::error_code ec;
    std::filesystem::resize_file(path, 200, ec);
    EXPECT_TRUE(ec);
    EXPECT_EQ(t.TextAt(2500, 0), row);
    EXPECT_NO_THROW(t.Last());
}
#else
TEST(SharedTable, ShortenedUnderAnOpenTableIsReportedOnEveryReadPath) {
    // keep = bytes left in the file: inside the data (lost pages), inside the header, none.
    for (const off_t keep : {off_t{200}, off_t{40}, off_t{0}}) {
        const std::vector<std::pair<const char*, std::function<void(Table&)>>> paths = {
            {"grid cell", [](Table& t) { t.TextAt(2500, 0); }},
            {"walk with values",
             [](Table& t) {
                 for (t.First(); !t.Eof(); t.Next()) t.AsText(1);
             }},
            {"walk already listed rows",  // no stat on the way: the lost pages themselves tell
             [](Table& t) {
                 for (; !t.Eof(); t.Next()) t.AsText(0);
             }},
            {"move", [](Table& t) { t.MoveTo(2999); }},
            {"last", [](Table& t) { t.Last(); }},
            {"edit", [](Table& t) { t.SetText(0, "X"); }},
        };
        for (const auto& [name, action] : paths) {
            SCOPED_TRACE(std::string(name) + ", " + std::to_string(keep) + " bytes kept");
            test::TempDir dir;
            const std::string path = WriteRows(dir);
            Table t;
            t.SetTableName(path);
            t.Open();
            EXPECT_EQ(t.AsText(0), "NUME0");
            ASSERT_EQ(::truncate(path.c_str(), keep), 0);
            ExpectChangeReported([&] { action(t); });
            EXPECT_EQ(test::ReadFileBytes(path).size(), static_cast<size_t>(keep));  // no hole
            t.Close();
        }
    }
}

TEST(SharedTable, ChangedHeaderAndLostPagesAtTheFileLevel) {
    test::TempDir dir;
    const std::string path = WriteRows(dir);
    auto f = DbfFile::Open(path);
    EXPECT_NO_THROW(f->CheckIntact());
    // Another program rewrote the header with other lengths (same size).
    {
        auto other = FileHandle::OpenReadWrite(path);
        const uint8_t wider[2] = {42, 0};
        other.WriteAt(10, wider, 2);
    }
    ExpectChangeReported([&] { f->CheckIntact(); });
    // A record on a lost page reads as zeros, and the reads are reported as lost.
    ASSERT_EQ(::truncate(path.c_str(), 100), 0);
    EXPECT_NO_THROW(f->CheckReads());
    EXPECT_EQ(f->Record(2900)[0], 0);
    ExpectChangeReported([&] { f->CheckReads(); });
}
#endif

bool RefusedAsBusy(const std::function<void()>& action) {
    try {
        action();
    } catch (const DbfError& e) {
        return std::string(e.what()).find("este modificat acum de alt program") !=
               std::string::npos;
    }
    return false;
}

TEST(SharedTable, SecondWriterIsRefusedOnlyWhileTheFirstWrites) {
    test::TempDir dir;
    const std::string path = WriteRows(dir);
    Table first;
    first.SetTableName(path);
    first.Open();
    first.SetText(0, "PRIMUL");
    first.Post();

    // A rewrite in flight holds the lock until its file closes.
    auto writing = DbfFile::Open(path);
    writing->LockForWriting();
    const std::string written = test::ReadFileBytes(path);
#ifndef _WIN32
    // Another process: the lock is on the file, not on this program.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        Table t;
        t.SetTableName(path);
        t.Open();
        t.Last();
        const bool refused = RefusedAsBusy([&] {
            t.SetText(0, "AL DOILEA");
            t.Post();
        });
        _exit(refused ? 4 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 4);
#endif
    // A second handle in this process: a row edit, a delete and a whole rewrite.
    {
        Table second;
        second.SetTableName(path);
        second.Open();
        EXPECT_TRUE(RefusedAsBusy([&] {
            second.MoveTo(5);
            second.SetText(0, "X");
            second.Post();
        }));
        second.Cancel();
        EXPECT_TRUE(RefusedAsBusy([&] { second.Delete(); }));
        EXPECT_TRUE(RefusedAsBusy([&] { second.Pack(); }));
        EXPECT_TRUE(second.Active());
    }
    EXPECT_EQ(test::ReadFileBytes(path), written);
    writing.reset();

    // Idle, the first holds nothing: a second window writes between its writes.
    Table second;
    second.SetTableName(path);
    second.Open();
    second.MoveTo(5);
    second.SetText(0, "AL DOILEA");
    EXPECT_NO_THROW(second.Post());
    first.MoveTo(1);
    first.SetText(0, "INCA UNA");
    EXPECT_NO_THROW(first.Post());
    EXPECT_EQ(second.TextAt(1, 0), "INCA UNA");
    EXPECT_EQ(first.TextAt(5, 0), "AL DOILEA");
}

// Each post checks that what it overwrites is what it read: a row another window changed since,
// or rows it appended, are never written over.
TEST(SharedTable, PostRefusesARowOrTableChangedSinceItWasRead) {
    test::TempDir dir;
    const std::string path = WriteRows(dir);
    Table first, second;
    for (Table* t : {&first, &second}) {
        t->SetTableName(path);
        t->Open();
    }
#ifndef _WIN32
    EXPECT_TRUE(first.OpenElsewhere());
#endif
    first.MoveTo(7);
    first.SetText(0, "DIN PRIMA");  // the row read now
    second.MoveTo(7);
    second.SetText(0, "DIN A DOUA");
    second.Post();
    std::string before = test::ReadFileBytes(path);
    try {
        first.Post();
        ADD_FAILURE() << "no error";
    } catch (const DbfError& e) {
        EXPECT_NE(std::string(e.what()).find("Linia 8 a fost schimbata intre timp"),
                  std::string::npos)
            << e.what();
    }
    EXPECT_EQ(test::ReadFileBytes(path), before);
    first.Cancel();

    second.Append();
    second.SetText(0, "ADAUGATA");
    second.Post();
    before = test::ReadFileBytes(path);
    ExpectChangeReported([&] {
        first.MoveTo(9);
        first.SetText(0, "X");
        first.Post();
    });
    first.Cancel();
    ExpectChangeReported([&] { first.Delete(); });
    EXPECT_EQ(test::ReadFileBytes(path), before);

    second.Close();
    EXPECT_FALSE(first.OpenElsewhere());
}

TEST(SharedTable, WriterOnAFileReplacedSinceItsOpenIsStopped) {
    test::TempDir dir;
    const std::string path = WriteRows(dir);
    Table stale;
    stale.SetTableName(path);
    stale.Open();
    {
        Table other;  // packs: a new file takes the old one's name
        other.SetTableName(path);
        other.Open();
        other.Pack();
    }
    const std::string packed = test::ReadFileBytes(path);
    ExpectChangeReported([&] {
        stale.SetText(0, "X");
        stale.Post();
    });
    EXPECT_EQ(test::ReadFileBytes(path), packed);
}

}  // namespace
}  // namespace orbelan
