#pragma once
// A one-sheet workbook in BIFF records, built in memory cell by cell and saved in one piece.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orbelan {

enum TovBIFFVersion : uint8_t { bvBIFF2, bvBIFF3, bvBIFF4, bvBIFF5 };
enum TovMoveAfterEnter : uint8_t { maNone, maUp, maDown, maLeft, maRight };
enum TovExcelBorder : uint8_t { ebTop, ebBottom, ebLeft, ebRight };
enum TovExcelAlignment : uint8_t { eaGeneral, eaLeft, eaRight, eaCenter, eaFill, eaMultiPlan };
enum TovMarginSide : uint8_t { msLeft, msRight, msTop, msBottom };

struct TovExcelBorderSet {
    uint8_t bits = 0;  // bit n for TovExcelBorder n
    static TovExcelBorderSet All() { return {0x0F}; }
    bool Has(TovExcelBorder b) const { return (bits >> b) & 1; }
};

struct TovFont {
    std::string name = "MS Sans Serif";
    int size = 8;  // points
    bool bold = false, italic = false, underline = false, strikeOut = false;
    uint32_t color = 0;
};

// A value of WriteValue, tagged with its kind.
struct TovCellValue {
    enum Kind { Empty, Null, Integer, Float, Text, Boolean, DateTime, Other } kind = Empty;
    int64_t integer = 0;
    double number = 0;
    std::string text;  // bytes in the program's code page (Text, DateTime as text)
    bool boolean = false;
};

class TovNativeExcel {
  public:
    static constexpr uint16_t kLastRow = 65535;
    static constexpr uint16_t kLastColumn = 256;

    TovNativeExcel();

    // ---- properties
    uint8_t ActiveFont() const { return activeFont_; }
    void SetActiveFont(uint8_t font);  // ignored unless that font was written
    TovExcelAlignment Alignment = eaGeneral;
    TovBIFFVersion BIFF() const { return biff_; }
    void SetBIFF(TovBIFFVersion version);  // a change begins the sheet again
    TovExcelBorderSet Borders;
    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& name);  // the extension becomes ".XLS"
    uint16_t Row() const { return row_; }
    void SetRow(uint16_t row);
    uint16_t Column() const { return column_; }
    void SetColumn(uint16_t column);
    TovMoveAfterEnter MoveAfterEnter = maRight;
    bool Shading = false;
    bool Hidden = false;
    bool Locked = true;
    std::string Version() const;

    // ---- operations
    virtual ~TovNativeExcel() = default;
    virtual void BeginSheet();
    virtual void EndSheet();
    void Reset() { BeginSheet(); }
    void Finish() { EndSheet(); }
    // Writes the buffer under a scratch name beside FileName and renames it into place.
    void SaveToFile() const;
    void AddFont(const TovFont* font);
    void SetHeaderText(const std::string& bytes);
    void SetFooterText(const std::string& bytes);
    void SetMargin(TovMarginSide side, double inches);
    void SetLeftMargin(double inches) { SetMargin(msLeft, inches); }
    void SetRightMargin(double inches) { SetMargin(msRight, inches); }
    void SetTopMargin(double inches) { SetMargin(msTop, inches); }
    void SetBottomMargin(double inches) { SetMargin(msBottom, inches); }
    void SetColumnWidth(int first, int last, int width);
    void SetProtected(bool on);
    // CODEPAGE record: which Windows code page the LABEL bytes are in.
    void SetCodePage(uint16_t windowsCodePage);
    void WriteBlank();
    void WriteInteger(int64_t value);
    void WriteNumber(double value);
    void WriteLabel(const std::string& bytes);
    void WriteBoolErr(int code);
    void WriteBoolean(bool value) { WriteBoolErr(value ? 0 : 1); }
    void WriteValue(const TovCellValue& value);
    // Excel number-format codes of a date and of a date with its time ("dd.mm.yyyy").
    void SetDateFormats(std::string date, std::string dateTime);
    // A date cell: days from 30.12.1899, the time as the fraction. The sheet then carries its
    // formats (a BIFF5 sheet in a workbook of its own); BIFF3 and BIFF4 sheets, which don't
    // here, get `text` in a label.
    void WriteDate(double serial, bool withTime, const std::string& text);

    const std::string& Buffer() const { return buffer_; }
    int SheetState() const { return state_; }

  private:
    void WriteRecordHeader(uint16_t id, uint16_t length);
    void WriteCellPosition();
    void WriteCellAttributes();
    void CellStart(uint16_t id, uint16_t length);
    void Put16(uint16_t v);
    void PutDouble(double v);
    void PutText(std::string_view bytes);  // length byte and at most 255 bytes
    // After the sheet's end, when it has dates: each set of cell attributes becomes an XF the
    // cells name, with the date formats; a BIFF5 sheet gets the workbook part that holds them.
    void AddFormats();

    std::string buffer_;
    int state_ = 0;
    uint8_t fonts_ = 0;
    std::vector<TovFont> fontList_;  // the fonts written, for the workbook part
    bool dates_ = false;
    std::string dateFormat_ = "dd.mm.yyyy", dateTimeFormat_ = "dd.mm.yyyy hh:mm";
    uint8_t activeFont_ = 0;
    TovBIFFVersion biff_ = bvBIFF5;
    std::string fileName_;
    uint16_t row_ = 1;
    uint16_t column_ = 1;
    static constexpr uint16_t kVersion = 0x0118;
};

}  // namespace orbelan
