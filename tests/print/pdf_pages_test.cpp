// The printed pages as poppler reads them back from the PDF export: orientation, scaling,
// wrapping, captions and page numbers; a stopped export leaves no file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <regex>
#include <sstream>

#include <QRectF>

#include "cli/cli_app.h"
#include "editing/commands_fixture.h"
#include "export/export_command.h"
#include "print/page_layout.h"
#include "print/pdf_export.h"

namespace orbelan {
namespace {

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        EXPECT_EQ(pclose(pipe), 0) << command;
    }
    return out;
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Each value found after the one before it.
void ExpectInOrder(const std::string& text, const std::vector<std::string>& values) {
    size_t at = 0;
    for (const std::string& v : values) {
        const size_t found = text.find(v, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << v;
        at = found + v.size();
    }
}

// Rows held in memory, for pages laid out without a table.
class ListedRows : public PrintRows {
  public:
    explicit ListedRows(std::vector<std::vector<std::string>> rows) : rows_(std::move(rows)) {}
    int Count() override { return static_cast<int>(rows_.size()); }
    void Read(int row, std::vector<std::string>& cells, const std::vector<bool>*) override {
        cells = rows_[static_cast<size_t>(row)];
    }

  private:
    std::vector<std::vector<std::string>> rows_;
};

// The pages on another paper, as a print dialog or page setup leaves the printer.
void WriteOnPaper(const std::string& pdf, const std::vector<test::ColumnSpec>& fields,
                  std::vector<std::vector<std::string>> values, QPageSize::PageSizeId paper,
                  std::optional<QPageLayout::Orientation> chosen) {
    EnsurePdfApplication();
    std::vector<PrintColumn> columns;
    for (const test::ColumnSpec& c : fields)
        columns.push_back({c.name, c.size, c.type == 'N' ? 2 : 1, true});
    ListedRows rows(std::move(values));
    PageLayout layout(columns, rows, {"lista", "", "Creat la 1.1.2026"});
    layout.SetPaper(QPageLayout(QPageSize(paper), chosen.value_or(QPageLayout::Portrait),
                                QMarginsF(20, 20, 20, 20)),
                    chosen.has_value());
    ASSERT_TRUE(WritePdf(layout, pdf, "lista", {}));
}

struct LayoutCase {
    const char* name;
    std::vector<test::ColumnSpec> columns;
    int rows;
    std::string valueWidth;  // the values' pattern: "short", "full" (as wide as the field) or
                             // "words"
    const char* paper;       // pdfinfo's page size
    bool severalPages;
    // Another paper than A4 (and an orientation the user chose), set up as in the print dialog.
    std::optional<QPageSize::PageSizeId> setUp = std::nullopt;
    std::optional<QPageLayout::Orientation> chosen = std::nullopt;
};

TEST(PdfPages, LayoutReadBackByPoppler) {
    ASSERT_EQ(std::system("command -v pdftotext >/dev/null && command -v pdfinfo >/dev/null"), 0)
        << "poppler-utils is needed (tools/setup.sh installs it)";
    const std::vector<LayoutCase> cases = {
        {"narrow", {{"NUME", 'C', 20}, {"NR", 'N', 5}}, 5, "short", "595 x 842", false},
        {"wide",
         {{"NUME", 'C', 40}, {"TATA", 'C', 40}, {"ADRESA", 'C', 60}, {"OBS", 'C', 40}},
         3,
         "full",
         "842 x 595",
         false},
        {"too wide",
         {{"NUME", 'C', 20}, {"NOTE", 'C', 254}, {"OBS", 'C', 200}},
         2,
         "words",
         "842 x 595",
         false},
        {"long", {{"NUME", 'C', 20}, {"NR", 'N', 5}}, 250, "short", "595 x 842", true},
        {"long on letter",
         {{"NUME", 'C', 20}, {"NR", 'N', 5}},
         250,
         "short",
         "612 x 792",
         true,
         QPageSize::Letter},
        // Too wide upright on A4, not on A3.
        {"A3 upright",
         {{"NUME", 'C', 30}, {"TATA", 'C', 30}, {"ADRESA", 'C', 40}},
         3,
         "full",
         "842 x 1191",
         false,
         QPageSize::A3},
        {"letter turned by the user",
         {{"NUME", 'C', 20}, {"NR", 'N', 5}},
         5,
         "short",
         "792 x 612",
         false,
         QPageSize::Letter,
         QPageLayout::Landscape},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const std::string path = dir.File("lista.dbf");
        std::vector<std::vector<std::string>> rows;
        std::vector<std::string> expected;
        for (int r = 0; r < c.rows; ++r) {
            std::vector<std::string>& row = rows.emplace_back();
            for (size_t col = 0; col < c.columns.size(); ++col) {
                std::string v = c.columns[col].type == 'N'
                                    ? std::to_string(r + 1)
                                    : "V" + std::to_string(r) + "C" + std::to_string(col);
                if (c.valueWidth == "full" && c.columns[col].type == 'C')
                    v.resize(static_cast<size_t>(c.columns[col].size), 'X');
                if (c.valueWidth == "words" && c.columns[col].size > 100) {
                    for (int w = 0; w < 20; ++w) v += " CUVANT" + std::to_string(w);
                }
                row.push_back(v);
                expected.push_back(v.substr(0, v.find(' ')));
            }
        }
        test::WriteDbf(path, c.columns, rows);
        const std::string pdf = dir.File("lista.pdf");
        if (c.setUp) {
            WriteOnPaper(pdf, c.columns, rows, *c.setUp, c.chosen);
        } else {
            std::ostringstream out, err;
            ASSERT_EQ(RunOrbelan({"export", path, "--format", "pdf", "-o", pdf}, out, err), 0)
                << err.str();
        }
        const std::string info = Shell("pdfinfo '" + pdf + "'");
        EXPECT_NE(info.find(std::string("Page size:       ") + c.paper), std::string::npos) << info;
        std::smatch m;
        ASSERT_TRUE(std::regex_search(info, m, std::regex("Pages: +([0-9]+)")));
        const int pages = std::stoi(m[1]);
        EXPECT_EQ(pages > 1, c.severalPages);
        const std::string text = Shell("pdftotext -layout '" + pdf + "' -");
        ExpectInOrder(text, expected);
        // The captions and "Pagina N din M" on every page.
        EXPECT_EQ(Count(text, c.columns[0].name), pages);
        for (int p = 1; p <= pages; ++p)
            EXPECT_EQ(Count(text, "Pagina " + std::to_string(p) + " din " + std::to_string(pages)),
                      1);
        if (c.valueWidth == "words") {
            // The long value is whole, on several lines of its column.
            EXPECT_EQ(Count(text, "CUVANT19"), 4);
            std::istringstream lines(text);
            std::string line;
            int linesWithWords = 0;
            while (std::getline(lines, line))
                linesWithWords += line.find("CUVANT") != std::string::npos;
            // Columns side by side share a line: each row takes at least two.
            EXPECT_GE(linesWithWords, 2 * c.rows);
        }
    }
}

// Columns as wide as their values: a name field wider than its names gives its room to a memo,
// which takes the rest of the line and no more than its text needs.
TEST(PdfPages, ColumnsTakeTheWidthOfTheirValuesAndAMemoTheRestOfTheLine) {
    EnsurePdfApplication();
    std::string memo;
    for (int w = 0; w < 60; ++w) memo += "cuvant" + std::to_string(w) + " ";
    const struct {
        const char* name;
        std::string obs;
        bool wholeLine;  // the table as wide as the page's text
    } cases[] = {{"long memo", memo, true}, {"short memo", "scurt", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ListedRows rows({{"ION", "1", c.obs}, {"ANA MARIA", "22", c.obs}});
        PageLayout layout({{"NUME", 30, 1, true}, {"NR", 5, 2, true}, {"OBS", 10, 1, false}}, rows,
                          {"lista", "", ""});
        const std::vector<double>& w = layout.ColumnWidths();
        ASSERT_EQ(w.size(), 3u);
        const QPageLayout page = layout.Page();
        const double line = page.paintRect(QPageLayout::Point).width();
        const double table = w[0] + w[1] + w[2];
        EXPECT_LE(table, line + 0.01);
        EXPECT_EQ(std::abs(table - line) < 0.01, c.wholeLine) << table << " of " << line;
        // "ANA MARIA" is far narrower than 30 characters.
        EXPECT_LT(w[0], line / 4);
        EXPECT_EQ(w[2] > w[0], c.wholeLine);
        EXPECT_EQ(layout.FontSize(), 9.0);
    }
}

TEST(PdfPages, RomanianLettersFilterAndEmbeddedFonts) {
    test::TempDir dir;
    const std::string table = std::string(ORBELAN_TEST_DATA) + "/persoane.dbf";
    const std::string pdf = dir.File("p.pdf");
    std::ostringstream out, err, shown;
    ASSERT_EQ(RunOrbelan({"export", table, "--format", "pdf", "-o", pdf, "--filter", "SUMA>3000"},
                         out, err),
              0)
        << err.str();
    ASSERT_EQ(RunOrbelan({"show", table, "--format", "csv", "--filter", "SUMA>3000"}, shown, err),
              0);
    std::vector<std::string> values;
    std::istringstream lines(shown.str());
    std::string line;
    std::getline(lines, line);  // the captions
    while (std::getline(lines, line)) {
        std::istringstream cells(line);
        std::string cell;
        while (std::getline(cells, cell, ',')) {
            if (!cell.empty()) values.push_back(cell);
        }
    }
    ASSERT_GT(values.size(), 20u);
    const std::string text = Shell("pdftotext -layout '" + pdf + "' -");
    EXPECT_NE(text.find("Filtru: SUMA>3000"), std::string::npos);
    EXPECT_NE(text.find("\xC5\x9E"), std::string::npos);  // the letters came through
    ExpectInOrder(text, values);
    const std::string fonts = Shell("pdffonts '" + pdf + "'");
    std::istringstream fontLines(fonts);
    int embedded = 0;
    for (int n = 0; std::getline(fontLines, line); ++n) {
        if (n < 2) continue;
        EXPECT_TRUE(std::regex_search(line, std::regex(" yes +(yes|no) +yes "))) << line;
        ++embedded;
    }
    EXPECT_GT(embedded, 0);
}

class PdfCancel : public test::CommandsTest {};

TEST_F(PdfCancel, StoppedWhileReadingOrPaintingLeavesNothing) {
    InstallPdfExport();
    std::vector<std::vector<std::string>> rows;
    for (int r = 0; r < 400; ++r) rows.push_back({"NUME" + std::to_string(r), "1", "2", "x"});
    OpenPersons(rows);
    // 5: while the rows are read; 400: the bar's end, reached only by the last page painted.
    for (const int stopAt : {5, 400}) {
        SCOPED_TRACE(stopAt);
        TovDBGridExport exp{ui, ui, platform};
        BindExport(ws, exp, GridOfTable(ws.table));
        exp.SetExportType(xtPDF);
        exp.ExportStyle = xsFile;
        exp.FileName = dir.File("out.pdf");
        ui.cancelExportAtProgress = stopAt;
        exp.ExportData();
        EXPECT_TRUE(exp.WrittenFile().empty());
        std::vector<std::string> left;
        for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
            left.push_back(e.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>{"t.dbf"});
        EXPECT_TRUE(ui.messages.empty());
    }
    // Not stopped, the same export writes the file.
    TovDBGridExport exp{ui, ui, platform};
    BindExport(ws, exp, GridOfTable(ws.table));
    exp.SetExportType(xtPDF);
    exp.ExportStyle = xsFile;
    exp.FileName = dir.File("out.pdf");
    ui.cancelExportAtProgress = -1;
    exp.ExportData();
    EXPECT_EQ(exp.WrittenFile(), dir.File("out.pdf"));
    EXPECT_TRUE(std::filesystem::exists(dir.File("out.pdf")));
}

}  // namespace
}  // namespace orbelan
