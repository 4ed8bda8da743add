#pragma once
// The export engine: options, texts, the run sequence and the document skeleton every format
// shares. Where the records come from is the data source's business (the thirteen virtual
// operations below); TovDBGridExport answers them from the grid.
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/export_types.h"
#include "export/export_windows.h"
#include "export/native_excel.h"

namespace orbelan {

class CodePage;
class Platform;
class Messages;

// One exported record, one element per source column; nullopt is a null value.
using TovValues = std::vector<std::optional<std::string>>;

// A value with its type, for a target that keeps types (.xlsx, .xls). The source fills one per
// column beside the texts of each record; a Text value is written as its text.
struct TovTypedValue {
    enum Kind : uint8_t { Text, Empty, Number, Date, DateTime, Logical } kind = Text;
    double number = 0;  // Number; Date, DateTime: days from 30.12.1899, the time as the fraction
    int decimals = -1;  // Number: the field's decimals; -1 when it has none of its own
    bool flag = false;  // Logical
};

struct TovDocumentFilter {
    std::string HTML = "HTML Documents", Excel = "Excel Files", Word = "Word Documents",
                Text = "Text Files", Comma = "CSV (Comma delimited)", Tab = "Text (Tab delimited)",
                RTF = "Rich Text Format", DIF = "Data Interchange Format", SYLK = "SYLK Files",
                XLSX = "Excel Workbook", PDF = "PDF Documents";
};

struct TovMessagesOptions {
    std::string Caption = "Export";
    std::string CopiedToClipboard = "Tabelul a fost copiat in Clipboard!";
    std::string CancelCaption = "&Renunt";
    std::string CreatedText = "Creat la";
    TovDocumentFilter DocumentFilter;
    std::string ExportCaption = "&Export";
    std::string ExportToFile = "Export &in fisier";
    std::string FalseText = "False";
    int Height = 80;
    std::string SaveTitle = "Save document";
    std::string SelectFormat = "Formatul e&xportat:";
    std::string Text = "Prelucrez...";
    std::string TrueText = "True";
    int Width = 300;
    std::string ViewOnly = "&Numai vizualizare";
};

struct TovExcelOptions {
    TovExportExcelOptionSet Options{reSetMargins, reUseBorders};
    int ColumnWidth = 20;
    bool Protected = false;
    std::string Header;
    std::string Footer = "&P";
    TovExcelVersion ExcelVersion = xls50;
    TovFont DefaultFont;
    TovFont HeaderFont{"MS Sans Serif", 8, true};
    TovFont TableFont;
    double TopMargin = 0.3, BottomMargin = 0.3, LeftMargin = 0.3, RightMargin = 0.3;
};

enum TovExportHTMLOption : uint8_t {
    hoShowGridLines,
    hoBoldHeaders,
    hoAutoLink,
    hoOddRowColoring,
    hoDisplayTitle
};
using TovExportHTMLOptionSet = EnumSet<TovExportHTMLOption>;
enum TovHTMLColorTemplate : uint8_t {
    ctStandard,
    ctBW,
    ctClassic,
    ctColorful,
    ctDark,
    ctGray,
    ctMSMoney,
    ctOlive,
    ctCustom
};

struct TovHTMLColors {
    uint32_t Background = 0x00FFFFFF;
    uint32_t DefaultLink = 0x000000FF;
    std::string DefaultFontFace = "Arial,Helvetica";
    uint32_t VisitedLink = 0x00FFFF00;
    uint32_t ActiveLink = 0x00FF0000;
    uint32_t DefaultText = 0x00000000;
    uint32_t TableFontColor = 0x00000000;
    std::string TableFontFace = "Arial,Helvetica";
    uint32_t TableBackground = 0x00FFFFCF;
    uint32_t TableOddBackground = 0x00FFFFFF;
    uint32_t HeaderBackground = 0x00336699;
    uint32_t HeadersFontColor = 0x00FFFFFF;
};

enum TovExportRTFOption : uint8_t { roShowGridLines, roOddRowColoring };
using TovExportRTFOptionSet = EnumSet<TovExportRTFOption>;
enum TovRTFColorTemplate : uint8_t { rtStandard, rtClassic, rtColorful, rtGray, rtCustom };

struct TovRTFColors {
    uint32_t TableBackground = 0x00FFFFCF;
    uint32_t TableOddBackground = 0x00FFFFFF;
    uint32_t HeaderBackground = 0x00336699;
    TovFont DefaultFont;
    TovFont HeaderFont{"MS Sans Serif", 8, true};
    TovFont TableFont;
};

struct TovRTFOptions {
    TovRTFColorTemplate Template = rtStandard;
    TovExportRTFOptionSet Options{roShowGridLines, roOddRowColoring};
    TovRTFColors CustomSettings;
    int CellWidth = 1400;
    int TopMargin = 101, BottomMargin = 101, LeftMargin = 461, RightMargin = 562;
};

struct TovHTMLOptions {
    TovHTMLColors CustomColors;
    TovHTMLExtension Extension = exHTML;
    TovExportHTMLOptionSet Options{hoShowGridLines, hoBoldHeaders, hoAutoLink, hoOddRowColoring,
                                   hoDisplayTitle};
    TovHTMLColorTemplate Template = ctStandard;
    std::string Title;
};

// One cell of a formatted row: the source column, its text and its alignment (0 none, 1 left,
// 2 right, 3 centre).
struct TovCell {
    int column = 0;
    std::string_view text;  // the value itself, or `shortened`; valid while the row is written
    int alignment = 0;
    int width = 0;                                      // ColumnWidth of the column
    const std::optional<std::string>* value = nullptr;  // the whole value, before CellText
    std::string shortened;                              // the text cut by xoTruncate
};
struct TovRow {
    std::optional<std::string> rowNumber;  // empty text in the caption row
    std::vector<TovCell> cells;
    bool caption = false;
};

class TovCustomExport;

// Thrown where the user stopped a run (the progress window's button), by the engine or by a
// writer in a long step of its own; the run ends as cancelled and leaves no file.
struct ExportCancelled {};

// What a format adds to the skeleton; one is made per run.
class TovFormatWriter {
  public:
    explicit TovFormatWriter(TovCustomExport& engine) : x(engine) {}
    virtual ~TovFormatWriter() = default;
    virtual void Begin() {}
    virtual void HeaderLines(const std::vector<std::string>&) {}
    virtual void Row(const TovRow& row) = 0;
    // False when the target has no room for another record (the sheet's last row).
    virtual bool HasRoom() const { return true; }
    virtual void HeaderSeparator() {}
    virtual void TableEnd() {}
    virtual void Footer(const std::vector<std::string>&) {}
    virtual void End() = 0;  // writes the target

  protected:
    TovCustomExport& x;
};

class TovCustomExport {
  public:
    TovCustomExport(orbelan::Messages& messages, ExportWindows& windows, Platform& platform);
    virtual ~TovCustomExport();
    TovCustomExport(const TovCustomExport&) = delete;
    TovCustomExport& operator=(const TovCustomExport&) = delete;

    // ---- properties
    std::vector<std::string> Captions;
    std::vector<std::string> ColumnWidths;
    std::string DateFormat = "dd.MM.yyyy";
    std::string TimeFormat = "hh:mm";
    std::string DateTimeFormat = "dd.MM.yyyy hh:mm";
    TovExportType ExportType() const { return exportType_; }
    void SetExportType(TovExportType type);  // also offered in the chooser
    TovExportTypeSet ExportTypes() const { return exportTypes_; }
    void SetExportTypes(TovExportTypeSet types);  // the current type stays in
    TovExportStyle ExportStyle = xsView;
    std::string FileName;  // kept between runs
    // The PDF's sheet as the print preview has it set up, in points, as the sheet stands; unset:
    // A4, turned as the columns need.
    struct PdfSheet {
        double width = 0, height = 0;
        double left = 0, top = 0, right = 0, bottom = 0;
    };
    std::optional<PdfSheet> PdfPaper;
    TovHTMLOptions HTML;
    TovMessagesOptions Messages;
    const std::string& TempDir() const { return tempDir_; }
    void SetTempDir(const std::string& dir);
    std::string TruncateSymbol = "...";
    const std::string& RowNumberFormat() const { return rowNumberFormat_; }
    void SetRowNumberFormat(const std::string& format);  // refused without "%d"
    TovRTFOptions DOC_RTF;
    TovExcelOptions EXCEL;
    TovExportOptionSet Options{xoClipboardMessage, xoFooterLine,   xoHeaderLine,   xoShowExportDate,
                               xoShowHeader,       xoShowProgress, xoUseAlignments};
    std::string Version() const { return "2.37"; }
    // The program's 8-bit code page, in which every document is written.
    std::string CodePageName = "cp1250";
    // CSV, tab-separated text, text and HTML in UTF-8 instead (asked for in the chooser): a
    // Linux office suite reads them right. The other formats keep CodePageName.
    bool Utf8Text = false;

    // ---- events
    std::function<void()> OnBeginExport, OnEndExport;
    std::function<void(std::string& extension)> OnGetExtension;
    std::function<void(TovExportError error)> OnError;
    std::function<void(uint32_t current, uint32_t total, const TovValues& values, bool canExport)>
        OnExport;
    std::function<void(uint32_t recordCount, std::string& header)> OnGetHeader;
    std::function<void(uint32_t recordCount, std::string& footer)> OnGetFooter;
    std::function<void(const std::string& outputFileName, bool& canOverWrite)> OnFileExist;

    // ---- running
    void Execute();
    void ExportData();
    void WriteDocument(const std::string& fileName);

    // ---- what the last run did
    int RecordTotal() const { return recordTotal_; }
    int RecordsRead() const { return recordsRead_; }
    int RowsWritten() const { return rowsWritten_; }
    int SheetRow() const { return sheetRow_; }
    // Rows that did not fit the target (an Excel sheet ends at row 65535).
    int RowsLeftOut() const { return rowsLeftOut_; }
    // The reason of the last xeGeneralExportError.
    const std::string& LastErrorText() const { return lastError_; }
    // The file the last run wrote (empty when it wrote none).
    const std::string& WrittenFile() const { return writtenFile_; }
    // What the user is told once the file is written (more sheets, texts cut); empty for nothing.
    const std::string& ClosingNote() const { return closingNote_; }
    void AddClosingNote(const std::string& line) {
        closingNote_ += (closingNote_.empty() ? "" : "\n") + line;
    }

    // Rows of an .xlsx sheet, the caption row included; lowered by tests.
    int XlsxSheetRows = 1048576;
    // The value of a column of the last record read with its type; nullptr when the source
    // gives none (the text is written then).
    const TovTypedValue* TypedValue(int column) const {
        return column >= 0 && static_cast<size_t>(column) < typedValues_.size()
                   ? &typedValues_[static_cast<size_t>(column)]
                   : nullptr;
    }
    // The name of what is exported (the table's), for a sheet; empty when it has none.
    virtual std::string DocumentName() const { return {}; }
    // The filter the exported rows pass, as the user typed it; empty when none is on.
    virtual std::string ShownFilter() const { return {}; }
    // The folder of what is exported, with its separator; where the first save dialog opens.
    virtual std::string DocumentFolder() const { return {}; }
    // What the save dialog offers: the last folder saved to in this run (else the document's)
    // and the document's name with the format's extension.
    std::string SuggestedFile() const;

    // ---- shared by the writers
    int ColumnWidth(int column, int defaultWidth);
    std::string CellText(const std::optional<std::string>& value, int width) const;
    // The same without a copy: a view of the value, or of `shortened` when it is cut.
    std::string_view CellView(const std::optional<std::string>& value, int width,
                              std::string& shortened) const;
    std::string RowNumberCell() const;
    std::string RowNumberCellFor(int number) const;
    // "Creat la" and the date and time of the export.
    std::string CreatedLine() const;
    // The current date and time as text; tests fix it.
    std::function<std::string()> Now;
    // A moment as CreatedLine writes it: the date in DateFormat and the time as hh:mm:ss.
    std::string MomentText(const std::tm& moment) const;
    int TextLineWidth();
    std::string SeparatorLine(bool header);
    std::string DefaultExtension() const;
    std::string DialogFilter() const;
    // The row is the engine's, valid until the next call.
    const TovRow& FormatRow(const TovValues& values, bool captionRow, bool rowNumbers);
    // UTF-8 -> the program's code page; throws on a character the page can't hold.
    std::string Encode(std::string_view utf8) const;
    // The program's code page, for writers that encode into their own buffers.
    const CodePage& Page() const;
    uint16_t WindowsCodePage() const;
    orbelan::Messages& messages() { return messages_; }
    ExportWindows& windows() { return windows_; }
    // A column as the run lays it out: its width in characters, caption, alignment, shown.
    int ColumnChars(int column) { return ColumnWidth(column, GetColumnWidth(column)); }
    std::string ColumnCaption(int column) {
        return column < static_cast<int>(Captions.size()) ? Captions[static_cast<size_t>(column)]
                                                          : GetColumnCaption(column);
    }
    int ColumnAlignment(int column) { return GetColumnAlignment(column); }
    bool ColumnShown(int column) {
        return Options.Has(xoExportInvisibles) || IsColumnVisible(column);
    }
    Platform& platform() { return platform_; }
    TovNativeExcel& Excel() { return excel_; }
    int ColumnCount() { return GetColumnCount(); }
    // The document title of DIF and SYLK: the component's class name in capitals.
    std::string Title() const;

  protected:
    // ---- the data source, in slot order
    virtual void PrepareSource() {}
    virtual void RestoreSource() {}
    virtual void FirstRecord() = 0;
    virtual int GetColumnAlignment(int) { return 0; }
    virtual bool SourceReady() = 0;
    virtual bool AllRecordsRead() = 0;
    virtual bool IsColumnVisible(int column) = 0;
    virtual bool IsRecordSelected() = 0;
    virtual int GetColumnWidth(int column) = 0;
    virtual std::string GetColumnCaption(int column) = 0;
    virtual int GetColumnCount() = 0;
    virtual void ReadRecord(TovValues& values) = 0;
    virtual int CountRecords() = 0;
    virtual std::string ClassName() const { return "TovCustomExport"; }

    void RaiseError(TovExportError error) {
        if (OnError) OnError(error);
    }
    // Filled by ReadRecord beside the texts when the target keeps types.
    bool KeepsTypes() const { return exportType_ == xtXLSX || exportType_ == xtExcel; }
    std::vector<TovTypedValue> typedValues_;

  private:
    std::unique_ptr<TovFormatWriter> MakeWriter(const std::string& target);

    orbelan::Messages& messages_;
    ExportWindows& windows_;
    Platform& platform_;
    TovExportType exportType_ = xtExcel;
    TovExportTypeSet exportTypes_ = TovExportTypeSet::FromBits((1u << kExportTypeCount) - 1);
    std::string tempDir_;
    std::string rowNumberFormat_ = "%d";
    TovNativeExcel excel_;
    mutable std::shared_ptr<const CodePage> codePage_;

    int recordTotal_ = 0, recordsRead_ = 0, rowsWritten_ = 0, sheetRow_ = 1, rowsLeftOut_ = 0;
    std::string lastError_;
    std::string writtenFile_;
    std::string lastSaveFolder_;
    std::string closingNote_;
    TovRow row_;
    std::vector<TovCell> layout_;
    int run_ = 0, layoutRun_ = -1;
};

}  // namespace orbelan
