// The BIFF writer byte by byte: records, attributes, the cursor and its limits.
#include "export/native_excel.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "tests/export/biff_reader.h"

namespace orbelan {
namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(static_cast<char>(v));
    return s;
}

TEST(NativeExcel, LabelWorkbookIsExactly43Bytes) {
    TovNativeExcel xl;
    xl.Reset();
    xl.WriteLabel("abc");
    xl.Finish();
    EXPECT_EQ(xl.Buffer(), Bytes({0x09, 0x08, 0x06, 0x00, 0x00, 0x02, 0x10, 0x00, 0x00, 0x00, 0x00,
                                  0x02, 0x0A, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x01,
                                  0x00, 0x00, 0x04, 0x00, 0x0B, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40,
                                  0x00, 0x00, 0x03, 0x61, 0x62, 0x63, 0x0A, 0x00, 0x00, 0x00}));

    xl.SetBIFF(bvBIFF2);
    EXPECT_EQ(xl.Buffer(), Bytes({0x09, 0x00, 0x04, 0x00, 0x00, 0x02, 0x10, 0x00, 0x00, 0x00,
                                  0x08, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x01}));
}

TEST(NativeExcel, CellRecordsAndAttributes) {
    TovNativeExcel xl;
    xl.AddFont(nullptr);
    TovFont bold{"Arial", 10, true};
    xl.AddFont(&bold);
    xl.SetActiveFont(0);
    xl.Alignment = eaRight;
    xl.Borders = TovExcelBorderSet::All();
    xl.Shading = true;
    xl.Hidden = true;
    xl.WriteInteger(42);
    xl.Alignment = eaCenter;
    xl.Borders = {};
    xl.Shading = xl.Hidden = xl.Locked = false;
    xl.WriteInteger(70000);
    xl.WriteLabel(std::string(300, 'x'));
    xl.WriteBoolErr(3);
    xl.WriteBoolean(false);
    const auto records = test::BiffRecords(xl.Buffer());
    ASSERT_EQ(records.size(), 8u);
    EXPECT_EQ(records[2].id, 0x31);
    EXPECT_EQ(records[2].data, Bytes({200, 0, 1, 0, 5, 'A', 'r', 'i', 'a', 'l'}));
    EXPECT_EQ(records[3].id, 2);
    EXPECT_EQ(records[3].data, Bytes({0, 0, 0, 0, 0xC0, 0x00, 0xFB, 42, 0}));
    EXPECT_EQ(records[4].id, 3);  // above 65535: a NUMBER
    EXPECT_EQ(records[4].data.substr(0, 7), Bytes({0, 0, 1, 0, 0x00, 0x00, 0x02}));
    EXPECT_EQ(test::BiffCells(xl.Buffer()).at({0, 1}).number, 70000.0);
    EXPECT_EQ(records[5].data.size(), 8u + 255u);
    EXPECT_EQ(static_cast<uint8_t>(records[5].data[7]), 255);
    EXPECT_EQ(records[6].data.substr(7), Bytes({0x07, 1}));
    EXPECT_EQ(records[7].data.substr(7), Bytes({0, 0}));
}

TEST(NativeExcel, FontsCountPerSheet) {
    TovNativeExcel xl;
    TovFont f;
    for (int i = 0; i < 3; ++i) xl.AddFont(&f);
    xl.SetActiveFont(3);
    EXPECT_EQ(xl.ActiveFont(), 0);
    xl.AddFont(&f);
    xl.SetActiveFont(3);
    EXPECT_EQ(xl.ActiveFont(), 3);
    const size_t size = xl.Buffer().size();
    xl.AddFont(&f);  // a fifth one
    EXPECT_EQ(xl.Buffer().size(), size);
    xl.Finish();
    xl.WriteBlank();  // after the end: a new sheet
    EXPECT_EQ(test::BiffIds(xl.Buffer()), (std::vector<uint16_t>{0x809, 0x200, 0x001}));
}

TEST(NativeExcel, CursorMovesAndLimits) {
    TovNativeExcel xl;
    xl.SetColumn(256);
    xl.WriteBlank();
    EXPECT_EQ(xl.Row(), 2);
    EXPECT_EQ(xl.Column(), 1);
    xl.SetColumn(257);
    EXPECT_EQ(xl.Column(), 1);
    xl.MoveAfterEnter = maDown;
    xl.SetRow(65535);
    xl.WriteBlank();
    EXPECT_EQ(xl.Row(), 1);
    EXPECT_EQ(xl.Column(), 2);
    xl.SetRow(65535);
    xl.SetRow(static_cast<uint16_t>(xl.Row() + 1));  // wraps to 0: ignored
    EXPECT_EQ(xl.Row(), 65535);
    xl.MoveAfterEnter = maUp;
    xl.SetRow(1);
    xl.WriteBlank();
    EXPECT_EQ(xl.Row(), 65535);
    EXPECT_EQ(xl.Column(), 1);
    xl.MoveAfterEnter = maLeft;
    xl.SetRow(1);
    xl.WriteBlank();  // at the first cell: stays
    EXPECT_EQ(xl.Row(), 1);
    EXPECT_EQ(xl.Column(), 1);
}

TEST(NativeExcel, FileNameGetsXlsAndSaveReplacesWhole) {
    TovNativeExcel xl;
    xl.SetFileName("report.txt");
    EXPECT_EQ(xl.FileName(), "report.XLS");
    xl.SetFileName("REPORT.xls");
    EXPECT_EQ(xl.FileName(), "REPORT.xls");
    xl.SetFileName("dir.v2/report");
    EXPECT_EQ(xl.FileName(), "dir.v2/report.XLS");
    EXPECT_EQ(xl.Version(), "1.24");

    test::TempDir dir;
    const std::string path = dir.File("a.xls");
    test::WriteFileBytes(path, std::string(1000, 'z'));
    xl.SetFileName(path);
    xl.WriteLabel("x");
    xl.Finish();
    xl.SaveToFile();
    EXPECT_EQ(test::ReadFileBytes(path), xl.Buffer());
}

}  // namespace
}  // namespace orbelan
