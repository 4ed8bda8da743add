// The Windows side of the file door: another program holding a table.
#ifdef _WIN32
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "engine/errors.h"
#include "engine/file_io.h"
#include "engine/table.h"
#include "engine/utf8_path.h"
#include "support/dbf_builder.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

HANDLE HoldFile(const std::string& path, DWORD share) {
    return CreateFileW(Utf16FromUtf8(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string Error(const std::function<void()>& action) {
    try {
        action();
    } catch (const DbfError& e) {
        return e.what();
    }
    return "no error";
}

TEST(WindowsFiles, ATableHeldWithoutSharingIsReportedAfterAShortWait) {
    test::TempDir dir;
    const std::string path = dir.File("Ţară.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 10}}, {{"ION"}});
    HANDLE other = HoldFile(path, 0);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    IoFaults().Reset();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Error([&] { FileHandle::OpenRead(path); }),
              "Fisierul " + path + " nu poate fi deschis: fisierul este folosit de alt program.");
    // The waits the engine made, not the wall clock: a busy machine only makes it longer.
    EXPECT_EQ(IoFaults().busyWaitMs, 500);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
    CloseHandle(other);
    EXPECT_NO_THROW(FileHandle::OpenRead(path));
}

TEST(WindowsFiles, ARewriteOfATableAnotherProgramReadsLeavesItAsItWas) {
    test::TempDir dir;
    const std::string path = dir.File("Ţară.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 10}}, {{"ION"}, {"*ANA"}, {"VASILE"}});
    const std::string before = test::ReadFileBytes(path);
    Table t;
    t.SetTableName(path);
    t.Open();
    // A reader that lets others read and write but not rename: the table can't be replaced.
    HANDLE other = HoldFile(path, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Error([&] { t.Pack(); }).rfind("Fisierul " + path + " nu a putut fi inlocuit: ", 0),
              0u);
    CloseHandle(other);
    EXPECT_EQ(test::ReadFileBytes(path), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1);  // no scratch file left behind
    EXPECT_EQ(t.AsText(0), "ION");
    t.Pack();  // free again
    EXPECT_EQ(test::ReadFileBytes(path)[4], 2);
}

}  // namespace
}  // namespace orbelan
#endif
