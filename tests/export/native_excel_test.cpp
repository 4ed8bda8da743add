// The BIFF writer byte by byte: records, attributes, the cursor and its limits.
#include "export/native_excel.h"

#include <gtest/gtest.h>

#include <algorithm>

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

// A sheet with dates carries their formats and an XF for each set of cell attributes: a BIFF5
// sheet in a workbook part before it (other programs read formats only from there), a BIFF2
// sheet before its first cell; BIFF3 and BIFF4 sheets get the date's text.
TEST(NativeExcel, DatesNameADateFormatThroughTheirXf) {
    for (const TovBIFFVersion version : {bvBIFF5, bvBIFF2, bvBIFF3}) {
        SCOPED_TRACE(int(version));
        TovNativeExcel xl;
        xl.SetBIFF(version);
        TovFont plain, bold{"Arial", 10, true};
        xl.AddFont(&plain);
        xl.AddFont(&bold);
        xl.SetDateFormats("dd.mm.yyyy", "dd.mm.yyyy hh:mm");
        xl.SetActiveFont(1);
        xl.WriteLabel("DATA");
        xl.SetActiveFont(0);
        xl.Borders = TovExcelBorderSet::All();
        xl.WriteDate(36526, false, "01.01.2000");
        xl.Finish();
        const auto records = test::BiffRecords(xl.Buffer());
        const auto cells = test::BiffCells(xl.Buffer());
        if (version == bvBIFF3) {
            EXPECT_EQ(cells.at({0, 1}).text, "01.01.2000");
            EXPECT_EQ(test::BiffIds(xl.Buffer()).front(), 0x209);
            continue;
        }
        const test::BiffCell& date = cells.at({0, 1});
        EXPECT_EQ(date.id, 3);
        EXPECT_EQ(date.number, 36526);
        EXPECT_EQ(date.attr[1] & 0x3F, 1);
        // The XFs in their order; the cells name theirs.
        std::vector<std::string> xfs;
        std::vector<std::string> formats;
        for (const auto& r : records) {
            if (r.id == 0x0043 || r.id == 0x00E0) xfs.push_back(r.data);
            if (r.id == 0x001E || r.id == 0x041E) formats.push_back(r.data);
        }
        const size_t dateXf = date.attr[0] & 0x3F, labelXf = cells.at({0, 0}).attr[0] & 0x3F;
        ASSERT_LT(dateXf, xfs.size());
        ASSERT_LT(labelXf, xfs.size());
        EXPECT_NE(dateXf, labelXf);
        if (version == bvBIFF2) {
            EXPECT_EQ(formats.at(1),
                      "\x0A"
                      "dd.mm.yyyy");
            EXPECT_EQ(xfs[dateXf][2] & 0x3F, 1);
            EXPECT_EQ(xfs[dateXf][3] & 0x78, 0x78);  // four borders
            EXPECT_EQ(xfs[labelXf][0], 1);           // the bold font
            // Formats and XFs come before the first cell.
            size_t firstCell = 0, lastXf = 0;
            for (size_t i = 0; i < records.size(); ++i) {
                if (records[i].id == 0x0043) lastXf = i;
                if (records[i].id == 0x0004 && !firstCell) firstCell = i;
            }
            EXPECT_LT(lastXf, firstCell);
            continue;
        }
        // BIFF5: the workbook part first, its sheet where BOUNDSHEET says.
        EXPECT_EQ(records[0].id, 0x0809);
        EXPECT_EQ(test::U16(records[0].data, 2), 0x0005);
        EXPECT_EQ(formats.at(0), std::string("\xA4\x00\x0A"
                                             "dd.mm.yyyy",
                                             13));
        EXPECT_EQ(test::U16(xfs[dateXf], 2), 164);
        EXPECT_EQ(test::U16(xfs[labelXf], 0), 1);  // the bold font
        EXPECT_EQ(test::U16(xfs[labelXf], 2), 0);
        const auto sheet = std::find_if(records.begin(), records.end(),
                                        [](const test::BiffRecord& r) { return r.id == 0x0085; });
        ASSERT_NE(sheet, records.end());
        const size_t at = test::U16(sheet->data, 0) | size_t{test::U16(sheet->data, 2)} << 16;
        const std::string rest = xl.Buffer().substr(at);
        EXPECT_EQ(test::BiffIds(rest).front(), 0x0809);
        EXPECT_EQ(test::U16(test::BiffRecords(rest)[0].data, 2), 0x0010);
    }
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
