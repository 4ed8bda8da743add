// DIF and SYLK: spreadsheet interchange files, every value a string.
#include "export/format_writers.h"
#include "export/text_output.h"

namespace orbelan {
namespace {

class SheetTextWriter : public TovFormatWriter {
  public:
    SheetTextWriter(TovCustomExport& engine, const std::string& target)
        : TovFormatWriter(engine),
          dif_(engine.ExportType() == xtDIF),
          out_(engine, target, false) {}

    void Begin() override {
        if (!dif_) {
            out_.AddLine("ID;P" + x.Title());
            return;
        }
        const bool numbers = x.Options.Has(xoRowNumbers);
        for (const std::string& line :
             {std::string("TABLE"), std::string("0,1"), '"' + x.Title() + '"',
              std::string("VECTORS"), "0," + std::to_string(x.ColumnCount() + (numbers ? 1 : 0)),
              std::string("\"\""), std::string("TUPLES"), "0," + std::to_string(x.RecordTotal()),
              std::string("\"\""), std::string("DATA"), std::string("0,0"), std::string("\"\"")})
            out_.AddLine(line);
    }

    void Row(const TovRow& row) override {
        // DIF and SYLK have no escape for a line break: it would end the record, so a value
        // is kept on its line, each break written as a blank.
        static constexpr ByteSet kQuote("\""), kSylk(";\"");
        if (dif_) {
            out_.AddLine("-1,0");
            out_.AddLine("BOT");
            // Strings always quoted: a bare word reads as an empty sheet in some programs.
            const auto quoted = [&](std::string_view text) {
                out_.AddLine("1,0");
                line_.assign(1, '"');
                AppendOneLine(line_, text, kQuote, false);
                line_ += '"';
                out_.AddLine(line_);
            };
            if (row.rowNumber) quoted(*row.rowNumber);
            for (const TovCell& cell : row.cells) quoted(cell.text);
            return;
        }
        // FormatRow has already counted this row. A ';' ends a SYLK field: inside a value it
        // is written twice.
        const std::string y = ";Y" + std::to_string(x.SheetRow() - 1) + ";K\"";
        const int shift = row.rowNumber ? 2 : 1;
        const auto cell = [&](int column, std::string_view text) {
            line_.assign("C;X");
            line_ += std::to_string(column);
            line_ += y;
            AppendOneLine(line_, text, kSylk, false);
            line_ += '"';
            out_.AddLine(line_);
        };
        if (row.rowNumber && !row.caption) cell(1, *row.rowNumber);
        for (const TovCell& c : row.cells) cell(c.column + shift, c.text);
    }

    void End() override {
        if (dif_) {
            out_.AddLine("-1,0");
            out_.AddLine("EOD");
        } else {
            out_.AddLine("E");
        }
        out_.Save();
    }

  private:
    bool dif_;
    TextOutput out_;
    std::string line_;
};

}  // namespace

std::unique_ptr<TovFormatWriter> MakeSheetTextWriter(TovCustomExport& engine,
                                                     const std::string& target) {
    return std::make_unique<SheetTextWriter>(engine, target);
}

}  // namespace orbelan
