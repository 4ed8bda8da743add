// Opening damaged and foreign files: a clear error, and the file left exactly as it was.
#include <gtest/gtest.h>

#include "engine/dbf_file.h"
#include "engine/table.h"
#include "support/dbf_builder.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

class HeaderTest : public ::testing::Test {
  protected:
    // NUME C 10, SUMA N 8,2, DATAN D 8: header 32 + 3*32 + 1 = 129 bytes, records of 27 bytes.
    std::string MakeTable(int rows = 12) {
        std::vector<std::vector<std::string>> data;
        for (int i = 0; i < rows; ++i)
            data.push_back({"NUME" + std::to_string(i), std::to_string(i) + ".50", "20000101"});
        const std::string path = dir_.File("t.dbf");
        test::WriteDbf(path, {{"NUME", 'C', 10}, {"SUMA", 'N', 8, 2}, {"DATAN", 'D', 8}}, data);
        return path;
    }

    static void SetU16(std::string& b, size_t at, unsigned v) {
        b[at] = static_cast<char>(v & 0xFF);
        b[at + 1] = static_cast<char>(v >> 8);
    }
    static void SetU32(std::string& b, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
    }

    // Opens the file expecting failure; returns the message and checks the kind and that the
    // file is byte-identical afterwards.
    std::string OpenFails(const std::string& path, ErrorKind kind) {
        const std::string before = FileExists(path) ? test::ReadFileBytes(path) : "";
        Table t;
        t.SetTableName(path);
        std::string message;
        try {
            t.Open();
            ADD_FAILURE() << "opened " << path;
        } catch (const DbfError& e) {
            EXPECT_EQ(static_cast<int>(e.Kind()), static_cast<int>(kind)) << e.what();
            message = e.what();
        }
        EXPECT_FALSE(t.Active());
        if (!before.empty()) {
            EXPECT_EQ(test::ReadFileBytes(path), before);
        }
        return message;
    }

    int OpenCount(const std::string& path) {
        Table t;
        t.SetTableName(path);
        t.Open();
        return t.RecordCount();
    }

    test::TempDir dir_;
};

TEST_F(HeaderTest, RecordCountBeyondTheFileIsMalformedWithTheCounts) {
    const std::string path = MakeTable(12);
    std::string b = test::ReadFileBytes(path);
    SetU32(b, 4, 1000);
    test::WriteFileBytes(path, b);
    EXPECT_EQ(
        OpenFails(path, ErrorKind::Malformed),
        "Fisierul " + path +
            " nu este un tabel DBF valid: antetul anunta 1000 de linii, dar fisierul are doar 12.");
}

TEST_F(HeaderTest, TruncatedLastRowIsMalformed) {
    const std::string path = MakeTable(3);
    std::string b = test::ReadFileBytes(path);
    b.resize(b.size() - 2);  // the end mark and the last byte of the last row
    test::WriteFileBytes(path, b);
    EXPECT_NE(OpenFails(path, ErrorKind::Malformed).find("3 linii, dar fisierul are doar 2"),
              std::string::npos);
}

TEST_F(HeaderTest, InconsistentLengthsAreMalformed) {
    const std::string path = MakeTable(3);
    const std::string good = test::ReadFileBytes(path);
    struct Case {
        const char* what;
        size_t at;
        unsigned value;
        bool u16;
        const char* expected;
    } cases[] = {
        {"header too long", 8, 129 + 40, true, "lungime de 169 de octeti"},
        {"header too short", 8, 129 - 10, true, ""},
        {"record length", 10, 28, true, "(28)"},
        {"unknown version", 0, 0x07, false, "0x07"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string b = good;
        if (c.u16)
            SetU16(b, c.at, c.value);
        else
            b[c.at] = static_cast<char>(c.value);
        test::WriteFileBytes(path, b);
        const std::string message = OpenFails(path, ErrorKind::Malformed);
        EXPECT_NE(message.find(c.expected), std::string::npos) << message;
    }
}

TEST_F(HeaderTest, FieldOfLengthZeroIsMalformedAndNamed) {
    const std::string path = MakeTable(3);
    std::string b = test::ReadFileBytes(path);
    b[32 + 32 + 16] = 0;    // SUMA's size
    SetU16(b, 10, 27 - 8);  // record length still the sum of the sizes
    test::WriteFileBytes(path, b);
    EXPECT_NE(OpenFails(path, ErrorKind::Malformed).find("campul SUMA are lungimea 0"),
              std::string::npos);
}

TEST_F(HeaderTest, FilesThatAreNoTablesCannotBeOpened) {
    const std::string text = dir_.File("notes.dbf");
    test::WriteFileBytes(text, "Lista persoanelor din comuna, scrisa de mana.\r\nPOPESCU ION\r\n");
    OpenFails(text, ErrorKind::CannotOpen);

    const std::string png = dir_.File("poza.dbf");
    test::WriteFileBytes(
        png,
        std::string(
            "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\x01\0\0\0\x01\0\x08\x06\0\0\0\x5c\x72\xa8\x66", 33) +
            std::string(200, '\x55'));
    OpenFails(png, ErrorKind::CannotOpen);

    const std::string jpeg = dir_.File("foto.dbf");
    test::WriteFileBytes(jpeg, std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01", 13) +
                                   std::string(500, '\x10'));
    OpenFails(jpeg, ErrorKind::CannotOpen);

    const std::string empty = dir_.File("gol.dbf");
    test::WriteFileBytes(empty, "");
    EXPECT_NE(OpenFails(empty, ErrorKind::CannotOpen).find("este gol"), std::string::npos);

    const std::string tiny = dir_.File("mic.dbf");
    test::WriteFileBytes(tiny, std::string("\x03\x7c\x01\x01", 4));
    OpenFails(tiny, ErrorKind::CannotOpen);

    EXPECT_EQ(OpenFails(dir_.File("lipsa.dbf"), ErrorKind::CannotOpen),
              "Fisierul " + dir_.File("lipsa.dbf") + " nu exista.");
    OpenFails(dir_.Path().string(), ErrorKind::CannotOpen);  // a folder
}

TEST_F(HeaderTest, ToleratedIrregularitiesReadNormally) {
    const std::string path = MakeTable(5);
    const std::string good = test::ReadFileBytes(path);

    // No 0x0D terminator, header length saying so.
    std::string b = good.substr(0, 128) + good.substr(129);
    SetU16(b, 8, 128);
    test::WriteFileBytes(path, b);
    EXPECT_EQ(OpenCount(path), 5);

    // One spare byte after the terminator.
    b = good.substr(0, 129) + std::string(1, '\0') + good.substr(129);
    SetU16(b, 8, 130);
    test::WriteFileBytes(path, b);
    EXPECT_EQ(OpenCount(path), 5);

    // Longer than needed: bytes after the end mark, or no end mark at all.
    test::WriteFileBytes(path, good + "leftover bytes from an old version");
    EXPECT_EQ(OpenCount(path), 5);
    test::WriteFileBytes(path, good.substr(0, good.size() - 1));
    EXPECT_EQ(OpenCount(path), 5);

    // A header announcing fewer rows than the file holds: the header wins.
    b = good;
    SetU32(b, 4, 2);
    test::WriteFileBytes(path, b);
    EXPECT_EQ(OpenCount(path), 2);
}

TEST_F(HeaderTest, StoredValuesTheFieldTypeCannotHoldReadAsStoredAndSurviveRewrites) {
    const std::string path = dir_.File("rau.dbf");
    test::WriteDbf(path,
                   {{"NUME", 'C', 6}, {"DATAN", 'D', 8}, {"SUMA", 'N', 6, 2}, {"ACTIV", 'L', 1}},
                   {{"ANA", "24/01/20", "ab.cd", "x"}});
    const std::string before = test::ReadFileBytes(path);
    Table t;
    t.SetTableName(path);
    t.Open();
    EXPECT_EQ(t.AsText(1), "24/01/20");
    EXPECT_EQ(t.AsText(2), "ab.cd");
    EXPECT_EQ(t.AsText(3), "");
    EXPECT_FALSE(t.IsNull(1));
    EXPECT_THROW(t.AsInteger(2), DbfError);

    t.Edit();
    t.SetText(0, "MARIA");
    t.Post();
    const std::string after = test::ReadFileBytes(path);
    const size_t rec = 32 + 4 * 32 + 1;
    EXPECT_EQ(after.substr(rec, 7), std::string(" MARIA "));
    EXPECT_EQ(after.substr(rec + 7), before.substr(rec + 7));  // the other fields kept their bytes
}

}  // namespace
}  // namespace orbelan
