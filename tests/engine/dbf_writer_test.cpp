// Written tables checked byte by byte by a reader of their own, then read back by the engine.
#include "engine/dbf_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "engine/dbf_file.h"
#include "engine/table.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

// A reader written from the format description, sharing nothing with the engine.
struct RawTable {
    uint8_t version = 0, ldid = 0;
    uint32_t count = 0;
    unsigned headerLength = 0, recordLength = 0;
    struct Field {
        std::string name;
        char type;
        int size, decimals, offset;
    };
    std::vector<Field> fields;
    std::string bytes;

    explicit RawTable(const std::string& path) : bytes(test::ReadFileBytes(path)) {
        auto u8 = [&](size_t i) { return static_cast<uint8_t>(bytes.at(i)); };
        version = u8(0);
        count = u8(4) | u8(5) << 8 | u8(6) << 16 | static_cast<uint32_t>(u8(7)) << 24;
        headerLength = u8(8) | u8(9) << 8;
        recordLength = u8(10) | u8(11) << 8;
        ldid = u8(29);
        int offset = 1;
        for (size_t p = 32; u8(p) != 0x0D; p += 32) {
            Field f;
            f.name = bytes.substr(p, 11).c_str();
            f.type = bytes[p + 11];
            f.size = u8(p + 16);
            f.decimals = u8(p + 17);
            f.offset = offset;
            offset += f.size;
            fields.push_back(f);
        }
    }
    std::string Value(uint32_t row, size_t field) const {
        const Field& f = fields.at(field);
        return bytes.substr(headerLength + row * recordLength + static_cast<size_t>(f.offset),
                            static_cast<size_t>(f.size));
    }
    char Flag(uint32_t row) const { return bytes.at(headerLength + row * recordLength); }
};

uint32_t BE32(const std::string& s, size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(s[at])) << 24 |
           static_cast<uint8_t>(s[at + 1]) << 16 | static_cast<uint8_t>(s[at + 2]) << 8 |
           static_cast<uint8_t>(s[at + 3]);
}
uint32_t LE32(const std::string& s, size_t at) {
    return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8 |
           static_cast<uint8_t>(s[at + 2]) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24;
}

FieldDef F(const std::string& name, char type, int size = 0, int decimals = 0) {
    FieldDef f;
    f.name = name;
    f.type = type;
    f.size = size;
    f.decimals = decimals;
    return f;
}

const FormatSettings kFmt{',', "dd.MM.yyyy"};

TEST(DbfWriter, DBase3WithMemoByteLayoutAndReadBack) {
    test::TempDir dir;
    const std::string path = dir.File("nou.dbf");
    DbfWriter::Definition definition;
    definition.version = 0x03;
    definition.codePage = "cp1250";
    definition.fields = {F("NUME", 'C', 10), F("SUMA", 'N', 8, 2), F("COEF", 'F', 6, 3),
                         F("DATAN", 'D'),    F("ACTIV", 'L'),      F("OBS", 'M')};
    DbfWriter w(path, definition);
    w.BeginRow();
    w.SetText(0, "ŞTEFAN", kFmt);
    w.SetText(1, "12,5", kFmt);
    w.SetText(2, "0.0005", kFmt);  // '.' is accepted too; rounds away from zero
    w.SetText(3, "01.02.2000", kFmt);
    w.SetText(4, "DA", kFmt);
    w.SetText(5, "linia 1\r\nlinia ţ", kFmt);
    w.EndRow();
    w.BeginRow();  // an empty row
    w.EndRow();
    EXPECT_FALSE(FileExists(path));  // nothing in place before Commit
    w.Commit();

    const RawTable raw(path);
    EXPECT_EQ(raw.version, 0x83);  // memo variant chosen by the M field
    EXPECT_EQ(raw.ldid, 0xC8);
    EXPECT_EQ(raw.count, 2u);
    EXPECT_EQ(raw.headerLength, 32u + 6 * 32 + 1);
    EXPECT_EQ(raw.recordLength, 1u + 10 + 8 + 6 + 8 + 1 + 10);
    EXPECT_EQ(raw.bytes.size(), raw.headerLength + 2 * raw.recordLength + 1);
    EXPECT_EQ(raw.bytes.back(), '\x1A');
    ASSERT_EQ(raw.fields.size(), 6u);
    EXPECT_EQ(raw.fields[1].name, "SUMA");
    EXPECT_EQ(raw.fields[1].type, 'N');
    EXPECT_EQ(raw.fields[1].decimals, 2);
    EXPECT_EQ(raw.fields[3].size, 8);
    EXPECT_EQ(raw.Flag(0), ' ');
    EXPECT_EQ(raw.Value(0, 0),
              "\xAA"
              "TEFAN    ");
    EXPECT_EQ(raw.Value(0, 1), "   12.50");
    EXPECT_EQ(raw.Value(0, 2), " 0.001");
    EXPECT_EQ(raw.Value(0, 3), "20000201");
    EXPECT_EQ(raw.Value(0, 4), "T");
    EXPECT_EQ(raw.Value(0, 5), "         1");
    for (size_t f = 0; f < 6; ++f)
        EXPECT_EQ(raw.Value(1, f).find_first_not_of(' '), std::string::npos);

    const std::string dbt = test::ReadFileBytes(dir.File("nou.dbt"));
    ASSERT_EQ(dbt.size(), 1024u);
    EXPECT_EQ(LE32(dbt, 0), 2u);  // next free block
    EXPECT_EQ(dbt.substr(512, 19), std::string("linia 1\r\nlinia \xFE\x1A\x1A\0", 19));

    Table t;
    t.SetTableName(path);
    t.SetFormatSettings(kFmt);
    t.Open();
    EXPECT_EQ(t.AsText(0), "ŞTEFAN");
    EXPECT_EQ(t.AsText(1), "12,5");
    EXPECT_EQ(t.AsText(2), "0,001");
    EXPECT_EQ(t.AsText(3), "01.02.2000");
    EXPECT_EQ(t.AsText(4), "True");
    EXPECT_EQ(t.AsText(5), "linia 1\r\nlinia ţ");
    t.Next();
    for (int f = 0; f < 6; ++f) EXPECT_TRUE(t.IsNull(f)) << f;
}

TEST(DbfWriter, VisualFoxProBinaryTypesAndFptMemo) {
    test::TempDir dir;
    const std::string path = dir.File("vfp.dbf");
    DbfWriter::Definition definition;
    definition.version = 0x30;
    definition.codePage = "cp1252";
    definition.fields = {F("CANT", 'I'),    F("PRET", 'B'), F("MOMENT", 'T'),
                         F("VALOARE", 'Y'), F("NOTE", 'M'), F("NR", 'N', 5)};
    DbfWriter w(path, definition);
    w.BeginRow();
    w.SetText(0, "-7", kFmt);
    w.SetText(1, "3,25", kFmt);
    w.SetText(2, "03.02.2001 04:05:06", kFmt);
    w.SetText(3, "12,3456", kFmt);
    w.SetText(4, "memo vfp", kFmt);
    w.SetText(5, "42", kFmt);
    w.EndRow();
    w.Commit();

    const RawTable raw(path);
    EXPECT_EQ(raw.version, 0x30);
    EXPECT_EQ(raw.ldid, 0x03);
    EXPECT_EQ(raw.headerLength, 32u + 6 * 32 + 1 + 263);  // with the backlink
    EXPECT_EQ(LE32(raw.Value(0, 0), 0), static_cast<uint32_t>(-7));
    double pret;
    std::memcpy(&pret, raw.Value(0, 1).data(), 8);
    EXPECT_EQ(pret, 3.25);
    EXPECT_EQ(LE32(raw.Value(0, 2), 0), 2451944u);  // julian day of 2001-02-03
    EXPECT_EQ(LE32(raw.Value(0, 2), 4), (4u * 3600 + 5 * 60 + 6) * 1000);
    int64_t cents;
    std::memcpy(&cents, raw.Value(0, 3).data(), 8);
    EXPECT_EQ(cents, 123456);
    const uint32_t block = LE32(raw.Value(0, 4), 0);
    EXPECT_EQ(raw.Value(0, 5), "   42");

    const std::string fpt = test::ReadFileBytes(dir.File("vfp.fpt"));
    const uint32_t blockSize = static_cast<uint8_t>(fpt[6]) << 8 | static_cast<uint8_t>(fpt[7]);
    ASSERT_EQ(blockSize, 64u);
    EXPECT_EQ(block, 512u / 64);  // first block after the 512-byte header
    EXPECT_EQ(BE32(fpt, block * blockSize), 1u);
    EXPECT_EQ(BE32(fpt, block * blockSize + 4), 8u);
    EXPECT_EQ(fpt.substr(block * blockSize + 8, 8), "memo vfp");
    EXPECT_EQ(BE32(fpt, 0), block + 1);

    Table t;
    t.SetTableName(path);
    t.SetFormatSettings(kFmt);
    t.Open();
    EXPECT_EQ(t.AsText(0), "-7");
    EXPECT_EQ(t.AsText(1), "3,25");
    EXPECT_EQ(t.AsText(2), "03.02.2001 04:05:06");
    EXPECT_EQ(t.AsText(3), "12,3456");
    EXPECT_EQ(t.AsText(4), "memo vfp");
    EXPECT_EQ(t.AsInteger(5), 42);
}

// A varbinary left empty is one of length 0, not a full-width run of zeros.
TEST(DbfWriter, EmptyVarbinaryHasLengthZero) {
    test::TempDir dir;
    const std::string path = dir.File("q.dbf");
    DbfWriter::Definition definition;
    definition.version = 0x30;
    definition.fields = {F("NUME", 'C', 5), F("COD", 'Q', 10), F("ALT", 'Q', 4)};
    DbfWriter w(path, definition);
    w.BeginRow();
    w.SetText(0, "Ana", kFmt);
    w.SetText(2, "AB", kFmt);
    w.EndRow();
    w.Commit();

    const RawTable raw(path);
    ASSERT_EQ(raw.fields.size(), 4u);  // _NullFlags last
    EXPECT_EQ(raw.Value(0, 1), std::string(10, '\0'));
    EXPECT_EQ(raw.Value(0, 3), "\x03");  // both length bits: COD 0, ALT 1
    const auto file = DbfFile::Open(path);
    const uint8_t* record = file->Record(0);
    EXPECT_TRUE(file->IsEmpty(record, 1));
    EXPECT_EQ(file->Text(record, 1, kFmt), "");
    EXPECT_EQ(file->Text(record, 2, kFmt), "AB");
}

TEST(DbfWriter, DBase4MemoBlocksCarryTheirLength) {
    test::TempDir dir;
    const std::string path = dir.File("d4.dbf");
    DbfWriter::Definition definition;
    definition.version = 0x04;
    definition.fields = {F("OBS", 'M')};
    DbfWriter w(path, definition);
    w.BeginRow();
    w.SetMemo(0, std::string(600, 'x'));  // longer than one block
    w.EndRow();
    w.Commit();
    EXPECT_EQ(RawTable(path).version, 0x8B);
    const std::string dbt = test::ReadFileBytes(dir.File("d4.dbt"));
    EXPECT_EQ(dbt.substr(512, 4), std::string("\xFF\xFF\x08\x00", 4));
    EXPECT_EQ(LE32(dbt, 516), 608u);
    EXPECT_EQ(dbt.size(), 512u * 3);
    Table t;
    t.SetTableName(path);
    t.Open();
    EXPECT_EQ(t.AsText(0), std::string(600, 'x'));
}

TEST(DbfWriter, ValueTooWideIsRefusedAndTheRowKeepsItsValue) {
    test::TempDir dir;
    DbfWriter::Definition definition;
    definition.fields = {F("SUMA", 'N', 6, 2)};
    DbfWriter w(dir.File("s.dbf"), definition);
    w.BeginRow();
    w.SetText(0, "99,99", kFmt);
    try {
        w.SetText(0, "123456789", kFmt);
        FAIL();
    } catch (const DbfError& e) {
        EXPECT_EQ(e.Kind(), ErrorKind::Conversion);
        EXPECT_STREQ(e.what(), "Valoarea 123456789 nu incape in campul SUMA (N 6,2).");
    }
    EXPECT_THROW(w.SetText(0, "12x", kFmt), DbfError);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(w.Row()) + 1, 6), " 99.99");
    w.Abort();
    EXPECT_FALSE(FileExists(dir.File("s.dbf")));
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));  // the temporary is gone too
}

TEST(DbfWriter, BadStructuresAreRefused) {
    test::TempDir dir;
    DbfWriter::Definition definition;
    definition.fields = {F("NUMEFOARTELUNG", 'C', 10)};
    EXPECT_THROW(DbfWriter(dir.File("a.dbf"), definition), DbfError);
    definition.fields = {F("NUME", 'C', 0)};
    EXPECT_THROW(DbfWriter(dir.File("a.dbf"), definition), DbfError);
    definition.fields = {F("SUMA", 'N', 4, 3)};
    EXPECT_THROW(DbfWriter(dir.File("a.dbf"), definition), DbfError);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

class RewriteFailure : public ::testing::Test {
  protected:
    void TearDown() override { IoFaults().Reset(); }
};

TEST_F(RewriteFailure, FailedWriteSyncOrRenameLeavesTheOriginalByteIdentical) {
    test::TempDir dir;
    const std::string path = dir.CopyData("dbase3_memo_cp1250.dbf");
    std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    const std::string dbf = test::ReadFileBytes(path);
    const std::string dbt = test::ReadFileBytes(dir.File("dbase3_memo_cp1250.dbt"));
    const auto filesBefore = std::distance(std::filesystem::directory_iterator(dir.Path()), {});

    Table t;
    t.SetTableName(path);
    t.Open();
    ASSERT_EQ(t.RecordCount(), 8);
    for (int which = 0; which < 3; ++which) {
        SCOPED_TRACE(which);
        IoFaults().Reset();
        if (which == 0) IoFaults().failWriteAfter = 2;
        if (which == 1) IoFaults().failSyncAfter = 0;
        if (which == 2) IoFaults().failRenameAfter = 0;
        try {
            t.Pack();
            FAIL() << "pack went through";
        } catch (const DbfError& e) {
            EXPECT_EQ(e.Kind(), ErrorKind::Io) << e.what();
        }
        EXPECT_EQ(test::ReadFileBytes(path), dbf);
        EXPECT_EQ(test::ReadFileBytes(dir.File("dbase3_memo_cp1250.dbt")), dbt);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), filesBefore);
        EXPECT_EQ(t.RecordCount(), 8);  // the table stays usable
    }
    IoFaults().Reset();

    t.Pack();
    const RawTable raw(path);
    EXPECT_EQ(raw.count, 8u);
    EXPECT_EQ(raw.bytes.size(), raw.headerLength + 8 * raw.recordLength + 1);
    for (uint32_t r = 0; r < 8; ++r) EXPECT_EQ(raw.Flag(r), ' ');
    EXPECT_EQ(test::ReadFileBytes(dir.File("dbase3_memo_cp1250.dbt")),
              dbt);  // pointers still valid
    EXPECT_EQ(t.RecordCount(), 8);
    t.SetFormatSettings(FormatSettings{'.', "yyyy-MM-dd"});
    t.Last();
    EXPECT_EQ(t.AsText("NUME"), "MUREŞAN");
    EXPECT_EQ(t.AsText("OBS"), "x");
    EXPECT_EQ(t.PhysicalRecNo(), 7);
}

}  // namespace
}  // namespace orbelan
