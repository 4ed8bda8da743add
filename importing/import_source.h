#pragma once
// A CSV file or a workbook sheet read as rows of cells, for "Importa din CSV sau Excel..." and
// for appending one to the open table. The first row holds the column names.
//
// Every failure to read is a DbfError(Malformed or CannotOpen) whose message names the line (CSV)
// or the cell (workbooks), so nothing is created from a source that could not be read whole.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orbelan {

enum class CellKind : uint8_t { Empty, Text, Number, Date, Logical };

struct Cell {
    CellKind kind = CellKind::Empty;
    // Text: the UTF-8 text. Number: the value as a plain decimal with '.' ("-12.5"). Logical:
    // "T" or "F". Date: empty (see day, ms).
    std::string text;
    int day = 0;     // Date: day number (engine/date_util.h)
    int64_t ms = 0;  // Date: milliseconds into the day; a date cell with a time keeps it here
};

enum class SourceKind { Csv, Xlsx, Xls };

struct SourceOptions {
    std::string sheet;     // workbooks: a 1-based number or a name; empty: the first sheet
    char delimiter = 0;    // CSV: ',' ';' '\t'; 0: detected
    std::string encoding;  // CSV: "utf-8", "cp1250", "cp852", "iso-8859-2"; empty: detected
};

class ImportSource {
  public:
    virtual ~ImportSource() = default;
    // The next row (the header row first); false at the end. Throws DbfError naming the place.
    virtual bool Next(std::vector<Cell>& row) = 0;
    // Back to the first row, for the second pass.
    virtual void Rewind() = 0;
    // How a user finds the row last read: its line in a CSV file, its row number in a sheet.
    virtual int RowNumber() const = 0;

    SourceKind kind = SourceKind::Csv;
    char delimiter = ',';                 // CSV, as detected or given
    std::string encoding;                 // CSV, as detected or given
    std::vector<std::string> sheetNames;  // workbooks
    int sheetIndex = 0;                   // workbooks: the sheet read (0-based)
    // CSV read as UTF-8: the bytes read so far since Rewind that fit no UTF-8 sequence, each
    // read as kReplacementCharacter, and the line of the first.
    long damagedBytes = 0;
    int firstDamagedLine = 0;
};

// U+FFFD, what a byte that fits no UTF-8 sequence reads as.
inline constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// The kind a file name asks for (.csv/.txt, .xlsx, .xls, any letter case); false when none.
bool SourceKindOf(const std::string& path, SourceKind& kind);
// Whether this build reads workbooks (the Windows build reads CSV only).
bool WorkbooksSupported();
// The sources this build takes, for the usage text and the file dialog: "CSV, .xlsx, .xls".
std::string SupportedSourcesText();

// Opens path as the kind its name says. Throws DbfError(CannotOpen) for a file that can't be
// opened or a kind this build doesn't read, DbfError(Malformed) for a damaged one.
std::unique_ptr<ImportSource> OpenImportSource(const std::string& path,
                                               const SourceOptions& options);

// The readers, one per kind (import_csv.cpp, import_xlsx.cpp, import_xls.cpp).
std::unique_ptr<ImportSource> OpenCsvSource(const std::string& path, const SourceOptions& options);
std::unique_ptr<ImportSource> OpenXlsxSource(const std::string& path, const SourceOptions& options);
std::unique_ptr<ImportSource> OpenXlsSource(const std::string& path, const SourceOptions& options);

// CSV encodings: the name a user gives ("UTF-8", "cp1250", "ISO-8859-2" ...) as this program
// names it, empty when it is none of the four taken.
std::string CsvEncodingName(const std::string& name);
// The encoding of a CSV's bytes: "utf-8" when they are valid UTF-8 (with or without a BOM) or
// their UTF-8 sequences outnumber the bytes that fit none, else the 8-bit page (cp1250, cp852,
// iso-8859-2) whose reading looks most like text.
std::string DetectCsvEncoding(std::string_view bytes);

// A workbook's date serial number as a day number (1900 system, its phantom 29 February
// accounted for; date1904: the 1904 system). False for a serial that is no date of the years
// 1 to 9999.
bool DayFromSerial(double serial, bool date1904, int& day, int64_t* ms);
// The sheet asked for (a name, else a 1-based number; empty: the first), 0-based. Throws
// DbfError(CannotOpen) listing the sheets when there is none such.
int ChooseSheet(const std::vector<std::string>& names, const std::string& wanted,
                const std::string& path);
// A number as a plain decimal with '.': 15 significant digits, no exponent ("1850101123456").
std::string PlainNumberText(double value);

}  // namespace orbelan
