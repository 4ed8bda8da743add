// The Excel hand-off of the export skeleton: the calls the engine makes on TovNativeExcel.
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "engine/text_parse.h"
#include "export/format_writers.h"
#include "export/xlsx_writer.h"

namespace orbelan {

bool ReadsAsDecimal(std::string_view text, double& value) {
    const size_t start = text.find_first_not_of(' ');
    if (start == std::string_view::npos) return false;
    // What a spreadsheet takes as a number: the sign against the digits, nothing after them.
    const std::string_view number = text.substr(start);
    if (number.find_first_not_of("+-.0123456789eE") != std::string_view::npos) return false;
    const std::optional<double> v = ParseNumberText(number, '.');
    if (v) value = *v;
    return v.has_value();
}

bool ReadsAsInteger(std::string_view text, int64_t& value) {
    size_t i = text.find_first_not_of(' ');
    if (i == std::string_view::npos) return false;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    uint64_t magnitude = 0;
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    const auto [end, ec] = std::from_chars(first, last, magnitude, base);
    if (ec != std::errc() || end != last || first == last || magnitude > 0xFFFFFFFFull)
        return false;
    const int64_t v = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    if (v < INT32_MIN || (base == 10 && v > INT32_MAX)) return false;
    // A hexadecimal constant above 0x7FFFFFFF is a negative 32-bit integer.
    value = base == 16 && v > INT32_MAX ? static_cast<int32_t>(static_cast<uint32_t>(v)) : v;
    return true;
}

namespace {

class ExcelWriter : public TovFormatWriter {
  public:
    ExcelWriter(TovCustomExport& engine, const std::string& target)
        : TovFormatWriter(engine), xl(engine.Excel()), target_(target) {}

    void Begin() override {
        const TovExcelOptions& o = x.EXCEL;
        xl.SetFileName(target_);
        xl.MoveAfterEnter = maRight;
        xl.SetColumn(1);
        xl.SetRow(1);
        xl.Borders = {};
        xl.Alignment = eaGeneral;
        xl.SetBIFF(static_cast<TovBIFFVersion>(o.ExcelVersion));
        xl.Reset();
        // Dates in the program's order, as the .xlsx export shows them.
        xl.SetDateFormats(XlsxDateFormat(x.DateFormat), XlsxDateFormat(x.DateTimeFormat));
        // Without it other programs read the LABEL bytes in their own code page.
        if (const uint16_t cp = x.WindowsCodePage()) xl.SetCodePage(cp);
        xl.AddFont(&o.DefaultFont);
        xl.AddFont(&o.HeaderFont);
        xl.AddFont(&o.TableFont);
        if (!o.Header.empty()) xl.SetHeaderText(x.Encode(o.Header));
        if (!o.Footer.empty()) xl.SetFooterText(x.Encode(o.Footer));
        if (o.Options.Has(reSetMargins)) {
            xl.SetLeftMargin(o.LeftMargin);
            xl.SetBottomMargin(o.BottomMargin);
            xl.SetTopMargin(o.TopMargin);
            xl.SetRightMargin(o.RightMargin);
        }
        if (o.Options.Has(reSetColumnWidths)) xl.SetColumnWidth(1, 256, o.ColumnWidth);
    }

    void HeaderLines(const std::vector<std::string>& lines) override {
        xl.MoveAfterEnter = maDown;
        xl.SetActiveFont(0);
        xl.Borders = {};
        for (const std::string& line : lines) xl.WriteLabel(x.Encode(line));
        if (!lines.empty()) xl.WriteBlank();
        xl.MoveAfterEnter = maRight;
    }

    bool HasRoom() const override { return xl.Row() < TovNativeExcel::kLastRow; }

    void Row(const TovRow& row) override {
        const bool text = x.EXCEL.Options.Has(reCellsAsText);
        const TovExcelBorderSet borders =
            x.EXCEL.Options.Has(reUseBorders) ? TovExcelBorderSet::All() : TovExcelBorderSet{};
        const uint8_t font = row.caption ? 1 : 2;
        if (!row.caption) {
            xl.SetRow(static_cast<uint16_t>(xl.Row() + 1));
            xl.SetColumn(1);
        }
        if (row.rowNumber) {
            xl.SetActiveFont(font);
            if (row.caption) {
                xl.WriteBlank();
            } else {
                xl.Borders = borders;
                int64_t n = 0;
                if (!text && ReadsAsInteger(*row.rowNumber, n))
                    xl.WriteInteger(n);
                else
                    xl.WriteLabel(x.Encode(*row.rowNumber));
            }
        }
        const bool align = x.Options.Has(xoUseAlignments);
        for (const TovCell& cell : row.cells) {
            if (align) {
                static constexpr TovExcelAlignment kAlign[] = {eaGeneral, eaLeft, eaRight,
                                                               eaCenter};
                xl.Alignment =
                    cell.alignment >= 0 && cell.alignment <= 3 ? kAlign[cell.alignment] : eaGeneral;
            }
            xl.SetActiveFont(font);
            xl.Borders = borders;
            double number = 0;
            int64_t integer = 0;
            // A source that knows its fields decides: a text field's "0042" or CNP stays text,
            // a number field's value is the stored number whatever the decimal separator.
            const TovTypedValue* typed = row.caption ? nullptr : x.TypedValue(cell.column);
            const bool fromType = typed && (typed->kind == TovTypedValue::Text ||
                                            typed->kind == TovTypedValue::Number);
            const bool date =
                typed && !text &&
                (typed->kind == TovTypedValue::Date || typed->kind == TovTypedValue::DateTime) &&
                std::isfinite(typed->number);
            if (date)
                xl.WriteDate(typed->number, typed->kind == TovTypedValue::DateTime,
                             x.Encode(cell.text));
            else if (text || (fromType && typed->kind == TovTypedValue::Text))
                xl.WriteLabel(x.Encode(cell.text));
            else if (fromType)
                xl.WriteNumber(typed->number);
            else if (ReadsAsDecimal(cell.text, number))
                xl.WriteNumber(number);
            else if (ReadsAsInteger(cell.text, integer))
                xl.WriteInteger(integer);
            else
                xl.WriteLabel(x.Encode(cell.text));
            xl.Alignment = eaGeneral;
        }
    }

    void Footer(const std::vector<std::string>& lines) override {
        // Two rows further down; on a full sheet they would wrap onto its first rows.
        if (lines.empty() || xl.Row() + 1 + lines.size() > TovNativeExcel::kLastRow) return;
        xl.SetRow(static_cast<uint16_t>(xl.Row() + 2));
        xl.MoveAfterEnter = maDown;
        xl.SetColumn(1);
        xl.SetActiveFont(0);
        xl.Borders = {};
        for (const std::string& line : lines) xl.WriteLabel(x.Encode(line));
    }

    void End() override {
        if (x.EXCEL.Protected) xl.SetProtected(true);
        xl.Finish();
        xl.SaveToFile();
    }

  private:
    TovNativeExcel& xl;
    std::string target_;
};

}  // namespace

std::unique_ptr<TovFormatWriter> MakeExcelWriter(TovCustomExport& engine,
                                                 const std::string& target) {
    return std::make_unique<ExcelWriter>(engine, target);
}

}  // namespace orbelan
