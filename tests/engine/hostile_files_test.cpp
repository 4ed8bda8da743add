// One fixture per kind of hostile or damaged file, built byte by byte: opening gives a clear
// error naming the file, or every value reads safely; the files are byte-identical afterwards.
// The sanitizer build turns a read outside the file, or an allocation the size of a damaged
// length, into a failure.
#include <gtest/gtest.h>

#include <functional>

#include "engine/table.h"
#include "support/dbf_builder.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

struct Files {
    Files(std::string d, std::string m = {}, std::string i = {})
        : dbf(std::move(d)), memo(std::move(m)), index(std::move(i)) {}
    std::string dbf, memo, index;  // empty memo or index: no such file
};

void SetU16(std::string& b, size_t at, unsigned v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8);
}
void SetU32(std::string& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
}

// NUME C 10, SUMA N 8,2, DATAN D 8: header 129 bytes, records of 27 from byte 129.
std::string Plain(const test::TempDir& dir) {
    const std::string path = dir.File("base.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 10}, {"SUMA", 'N', 8, 2}, {"DATAN", 'D', 8}},
                   {{"ANA", "1.50", "20000101"}, {"ION", "2.50", "20000102"}});
    return test::ReadFileBytes(path);
}

// NUME C 10, OBS M 10 (a dBase III table with memo): header 97, records of 21 from byte 97.
// The first row's memo is block 1; the memo file is given by each case.
std::string WithMemo(const test::TempDir& dir, uint8_t version) {
    const std::string path = dir.File("memo.dbf");
    test::WriteDbf(path, {{"NUME", 'C', 10}, {"OBS", 'C', 10}}, {{"ANA", "         1"}});
    std::string b = test::ReadFileBytes(path);
    b[0] = static_cast<char>(version);
    b[32 + 32 + 11] = 'M';
    return b;
}

std::string Dbt3(const std::string& text, uint32_t nextFree = 2) {
    std::string m(512, '\0');
    SetU32(m, 0, nextFree);
    std::string block = text + "\x1A\x1A";
    block.resize(512, '\0');
    return m + block;
}

std::string Dbt4(uint32_t blockSize, uint32_t length) {
    std::string m(512, '\0');
    SetU32(m, 0, 2);
    SetU16(m, 20, blockSize);
    std::string block("\xFF\xFF\x08\x00", 4);
    block.resize(8);
    SetU32(block, 4, length);
    block += "text";
    block.resize(512, '\0');
    return m + block;
}

// Opens and reads every value of every row; true when the table opened.
bool ReadAll(const std::string& path) {
    Table t;
    t.SetTableName(path);
    try {
        t.Open();
    } catch (const DbfError& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        EXPECT_FALSE(t.Active());
        return false;
    }
    for (t.First(); !t.Eof(); t.Next())
        for (int f = 0; f < t.FieldCount(); ++f) (void)t.AsText(f);
    for (int f = 0; f < t.FieldCount(); ++f) t.FieldIndex(t.Field(f).name);
    return true;
}

enum class Expect { Refused, Reads, Either };

TEST(HostileFiles, EachKindGivesAClearErrorOrASafeReadAndLeavesTheFilesAsTheyWere) {
    test::TempDir dir;
    const std::string plain = Plain(dir);
    const std::string memo3 = WithMemo(dir, 0x83);
    const std::string memo4 = WithMemo(dir, 0x8B);
    const auto patch = [](std::string b, const std::function<void(std::string&)>& f) {
        f(b);
        return b;
    };

    // Thousands of fields: 2046 of one byte each puts the header length at 65505.
    std::vector<test::ColumnSpec> many;
    for (int i = 0; i < 2046; ++i) many.push_back({"F" + std::to_string(i), 'C', 1});
    test::WriteDbf(dir.File("many.dbf"), many, {std::vector<std::string>(many.size(), "x")});
    const std::string wide = test::ReadFileBytes(dir.File("many.dbf"));

    // dBase 7 layout (68-byte header, 48-byte descriptors) under a dBase III version byte.
    std::string level7 = std::string(68, '\0');
    level7[0] = 0x03;
    SetU32(level7, 4, 1);
    SetU16(level7, 8, 68 + 48 + 1);
    SetU16(level7, 10, 11);
    std::string desc(48, '\0');
    desc.replace(0, 4, "NUME");
    desc[32] = 'C';
    desc[33] = 10;
    level7 += desc + "\r" + " ANA       " + "\x1A";

    const struct {
        const char* name;
        Files files;
        Expect expect;
    } cases[] = {
        {"no 0x0D terminator", {patch(plain, [](auto& b) { b[128] = ' '; })}, Expect::Either},
        {"C field over 255 (size in the decimals byte)",
         {patch(plain, [](auto& b) { b[32 + 17] = 1; })},
         Expect::Either},
        {"C field over 255, lengths agreeing, data missing",
         {patch(plain,
                [](auto& b) {
                    b[32 + 17] = 1;
                    SetU16(b, 10, 27 + 256);
                })},
         Expect::Refused},
        {"sizes overflowing 32 bits",
         {patch(plain,
                [](auto& b) {
                    SetU32(b, 4, 0xFFFFFFFF);
                    SetU16(b, 10, 0xFFFF);
                })},
         Expect::Refused},
        {"header length beyond the file",
         {patch(plain, [](auto& b) { SetU16(b, 8, 0xFFFF); })},
         Expect::Refused},
        {"garbage in numeric fields",
         {patch(plain,
                [](auto& b) {
                    b.replace(129 + 11, 8, std::string(8, '\0'));
                    b.replace(129 + 27 + 11, 8, "**   1.E");
                })},
         Expect::Reads},
        {"1.E+3 in a numeric field",
         {patch(plain, [](auto& b) { b.replace(129 + 11, 8, "  1.E+3 "); })},
         Expect::Reads},
        {"unknown field type", {patch(plain, [](auto& b) { b[32 + 11] = 'Q'; })}, Expect::Either},
        {"unknown version byte", {patch(plain, [](auto& b) { b[0] = 0x42; })}, Expect::Refused},
        {"dBase 7 version on dBase III descriptors",
         {patch(plain, [](auto& b) { b[0] = static_cast<char>(0x8C); })},
         Expect::Either},
        {"dBase 7 descriptors under a dBase III version", {level7}, Expect::Either},
        {"11-byte name without NUL",
         {patch(plain, [](auto& b) { b.replace(32, 11, "ABCDEFGHIJK"); })},
         Expect::Reads},
        {"duplicate field names",
         {patch(plain, [](auto& b) { b.replace(64, 11, std::string("NUME\0\0\0\0\0\0\0", 11)); })},
         Expect::Either},
        {"deletion flag neither blank nor *",
         {patch(plain, [](auto& b) { b[129] = 'X'; })},
         Expect::Reads},
        {"odd end-of-file byte", {patch(plain, [](auto& b) { b.back() = '\0'; })}, Expect::Reads},
        {"code page byte 0", {patch(plain, [](auto& b) { b[29] = 0; })}, Expect::Reads},
        {"unknown code page byte",
         {patch(plain, [](auto& b) { b[29] = static_cast<char>(0xEE); })},
         Expect::Reads},
        {"production index flag with a damaged index file",
         {patch(plain, [](auto& b) { b[28] = 1; }), "", std::string("\x01\x02garbage", 9)},
         Expect::Either},
        {"thousands of fields", {wide}, Expect::Reads},
        {"memo pointer past the memo file", {memo3, std::string(512, '\0')}, Expect::Reads},
        {"memo pointer far past the memo file",
         {patch(memo3, [](auto& b) { b.replace(97 + 11, 10, "4000000000"); }), Dbt3("text")},
         Expect::Reads},
        {"a memo file of another kind paired", {memo3, Dbt4(512, 12)}, Expect::Reads},
        {"memo length of gigabytes", {memo4, Dbt4(512, 0xFFFFFFF0)}, Expect::Reads},
        {"memo block size 0", {memo4, Dbt4(0, 12)}, Expect::Reads},
        {"memo with no end mark",
         {memo3, std::string(512, '\0') + std::string(700, 'a')},
         Expect::Reads},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir here;
        const std::string path = here.File("t.dbf");
        test::WriteFileBytes(path, c.files.dbf);
        if (!c.files.memo.empty()) test::WriteFileBytes(here.File("t.dbt"), c.files.memo);
        if (!c.files.index.empty()) test::WriteFileBytes(here.File("t.mdx"), c.files.index);
        const bool opened = ReadAll(path);
        if (c.expect != Expect::Either) {
            EXPECT_EQ(opened, c.expect == Expect::Reads);
        }
        EXPECT_EQ(test::ReadFileBytes(path), c.files.dbf);
        const std::string memo =
            c.files.memo.empty() ? "" : test::ReadFileBytes(here.File("t.dbt"));
        EXPECT_EQ(memo, c.files.memo);
        const std::string index =
            c.files.index.empty() ? "" : test::ReadFileBytes(here.File("t.mdx"));
        EXPECT_EQ(index, c.files.index);
    }
}

}  // namespace
}  // namespace orbelan
