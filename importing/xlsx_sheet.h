#pragma once
// The rows of an .xlsx worksheet part, parsed from its XML as it is fed: import_xlsx.cpp feeds it
// from the ZIP container. Work and memory follow the cells present, never the column letters or
// row numbers they name: only the non-empty cells of a row are kept, rows without any are
// skipped, and rows are cut at the header's width (the first row with a value).
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "importing/import_source.h"

namespace orbelan {

// The limits of the format: columns A..XFD, rows 1..1048576.
constexpr int kSheetColumns = 16384;
constexpr int kSheetRows = 1048576;
// No table has more fields than this, so a wider header can't be imported or appended.
constexpr int kMaxSourceColumns = 255;

// What a sheet's cells refer to in the rest of the workbook.
struct SheetContext {
    std::string sheetName;
    std::vector<std::string> strings;  // the shared strings, escapes decoded
    std::vector<bool> dateStyles;      // per cell style (cellXfs): shows a date
    bool date1904 = false;
};

class SheetXmlReader {
  public:
    explicit SheetXmlReader(const SheetContext& context);
    ~SheetXmlReader();
    SheetXmlReader(const SheetXmlReader&) = delete;
    SheetXmlReader& operator=(const SheetXmlReader&) = delete;

    // The part's next bytes (last: its end). False with expat's complaint for XML that is not
    // well formed; throws DbfError(Malformed) naming the cell or row that can't be read.
    bool Feed(const char* data, size_t size, bool last, std::string& xmlError);
    // The next row parsed, as wide as its last cell (at most the header's width), and its number
    // in the sheet; false when no complete row is waiting.
    bool Pop(std::vector<Cell>& row, int& number);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// A text of the workbook with its _xHHHH_ escapes decoded (_x005F_ stands for '_').
std::string DecodeXlsxEscapes(std::string_view text);

}  // namespace orbelan
