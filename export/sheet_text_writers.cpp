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
        if (dif_) {
            out_.AddLine("-1,0");
            out_.AddLine("BOT");
            if (row.rowNumber) {
                out_.AddLine("1,0");
                out_.AddLine(QuoteValue(*row.rowNumber, true));
            }
            // Strings always quoted: a bare word reads as an empty sheet in some programs.
            for (const TovCell& cell : row.cells) {
                out_.AddLine("1,0");
                std::string& line = line_;
                line.assign(1, '"');
                static constexpr ByteSet kQuote("\"");
                AppendDoubling(line, cell.text, kQuote);
                line += '"';
                out_.Add(line);
            }
            return;
        }
        // FormatRow has already counted this row.
        const std::string y = ";Y" + std::to_string(x.SheetRow() - 1) + ";K";
        const int shift = row.rowNumber ? 2 : 1;
        if (row.rowNumber && !row.caption)
            out_.AddLine("C;X1" + y + QuoteValue(*row.rowNumber, true));
        for (const TovCell& cell : row.cells) {
            std::string& line = line_;
            line.assign("C;X");
            line += std::to_string(cell.column + shift);
            line += y;
            AppendSylkValue(line, cell.text);
            out_.Add(line);
        }
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
    // A ';' ends a SYLK field: inside a value it is written twice.
    static void AppendSylkValue(std::string& line, std::string_view text) {
        static constexpr ByteSet kDoubled(";\"");
        line += '"';
        AppendDoubling(line, text, kDoubled);
        line += '"';
    }

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
