#pragma once
// The export engine's enumerations and the per-format constants the engine and its windows share.
#include <cstdint>
#include <initializer_list>
#include <string>

namespace orbelan {

enum TovExportType : uint8_t {
    xtHTML,
    xtExcel,
    xtWord,
    xtTXT,
    xtCSV,
    xtTAB,
    xtRTF,
    xtDIF,
    xtSYLK,
    xtClipboard,
    xtXLSX,  // after the others: their ordinals stay as they were
    xtPDF
};
constexpr int kExportTypeCount = 12;

enum TovExportOption : uint8_t {
    xoClipboardMessage,
    xoExportInvisibles,
    xoFooterLine,
    xoHeaderLine,
    xoRowNumbers,
    xoShowExportDate,
    xoShowHeader,
    xoShowProgress,
    xoSelectedRowsOnly,
    xoTruncate,
    xoUseAlignments
};

enum TovExportStyle : uint8_t { xsFile, xsView };

enum TovExportError : uint8_t {
    xeInvalidFileName,
    xeFileExist,
    xeComponentIsNull,
    xeGeneralExportError,
    xeUserCancelled,
    // The sheet's last row was reached; RowsLeftOut() tells how many rows did not fit.
    xeRowsLeftOut
};

enum TovExportExcelOption : uint8_t {
    reCellsAsText,
    reSetColumnWidths,
    reSetMargins,
    reUseBorders
};
enum TovExcelVersion : uint8_t { xls21, xls30, xls40, xls50 };
enum TovHTMLExtension : uint8_t { exHTM, exHTML };

// A set of enumeration values: bit n for ordinal n.
template <typename E>
class EnumSet {
  public:
    constexpr EnumSet() = default;
    constexpr EnumSet(std::initializer_list<E> values) {
        for (E v : values) bits_ |= Bit(v);
    }
    static constexpr EnumSet FromBits(uint32_t bits) {
        EnumSet s;
        s.bits_ = bits;
        return s;
    }
    constexpr bool Has(E v) const { return (bits_ & Bit(v)) != 0; }
    constexpr void Add(E v) { bits_ |= Bit(v); }
    constexpr void Remove(E v) { bits_ &= ~Bit(v); }
    constexpr uint32_t Bits() const { return bits_; }
    constexpr bool operator==(const EnumSet&) const = default;

  private:
    static constexpr uint32_t Bit(E v) { return 1u << static_cast<unsigned>(v); }
    uint32_t bits_ = 0;
};

using TovExportTypeSet = EnumSet<TovExportType>;
using TovExportOptionSet = EnumSet<TovExportOption>;
using TovExportExcelOptionSet = EnumSet<TovExportExcelOption>;

// The chooser's order of the formats, which is not the enumeration's.
constexpr TovExportType kChooserOrder[kExportTypeCount] = {
    xtHTML, xtWord, xtExcel, xtXLSX, xtTXT, xtRTF, xtCSV, xtTAB, xtDIF, xtSYLK, xtClipboard, xtPDF};

// "Microsoft Excel", "Clipboard", ...
const char* ExportTypeText(TovExportType type);
// Picture of the chooser's icon box for the format.
int ExportTypeIcon(TovExportType type);
// The type whose chooser text is exactly text; false when none.
bool ExportTypeFromText(const std::string& text, TovExportType& type);

}  // namespace orbelan
