#include "export/custom_export.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <ctime>

#include "core/messages.h"
#include "core/platform.h"
#include "engine/codepage.h"
#include "engine/date_util.h"
#include "engine/file_io.h"
#include "engine/utf8.h"
#include "export/format_writers.h"
#include "export/pdf_port.h"
#include "export/xlsx_writer.h"

namespace orbelan {
namespace {

using Cancelled = ExportCancelled;
struct Refused {};

std::string WithoutTrailingSlash(std::string dir) {
    if (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\') &&
        !(dir.size() == 3 && dir[1] == ':'))
        dir.pop_back();
    for (char& c : dir) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return dir;
}

std::string ReplaceExtension(const std::string& name, const std::string& ext) {
    const auto slash = name.find_last_of("/\\");
    const auto dot = name.find_last_of('.');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    // "a.xls" stays as typed: on a case-sensitive file system "a.XLS" would be another file.
    if (hasExt && name.size() - dot - 1 == ext.size()) {
        bool same = true;
        for (size_t i = 0; i < ext.size(); ++i) {
            same = same && std::toupper(static_cast<unsigned char>(name[dot + 1 + i])) ==
                               std::toupper(static_cast<unsigned char>(ext[i]));
        }
        if (same) return name;
    }
    // An added extension is written small, as the dialog's filter shows it ("lista.xlsx").
    std::string small = ext;
    for (char& c : small) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return (hasExt ? name.substr(0, dot) : name) + "." + small;
}

// A text assigned to a string list: one line per CR LF (or lone LF) separated part.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    if (text.empty()) return lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            if (start < text.size()) lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start =
            end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    }
    return lines;
}

std::string FormatNumber(const std::string& format, int n) {
    std::string out = format;
    const auto at = out.find("%d");
    if (at == std::string::npos) return std::to_string(n);
    out.replace(at, 2, std::to_string(n));
    return out;
}

}  // namespace

TovCustomExport::TovCustomExport(orbelan::Messages& messages, ExportWindows& windows,
                                 Platform& platform)
    : messages_(messages),
      windows_(windows),
      platform_(platform),
      tempDir_(platform.TempFolder()) {}

TovCustomExport::~TovCustomExport() = default;

void TovCustomExport::SetExportType(TovExportType type) {
    exportType_ = type;
    exportTypes_.Add(type);
}

void TovCustomExport::SetExportTypes(TovExportTypeSet types) {
    exportTypes_ = types;
    exportTypes_.Add(exportType_);
}

void TovCustomExport::SetTempDir(const std::string& dir) {
    if (WithoutTrailingSlash(dir) != WithoutTrailingSlash(tempDir_)) tempDir_ = dir;
}

void TovCustomExport::SetRowNumberFormat(const std::string& format) {
    if (format.find("%d") == std::string::npos) {
        messages_.Mesaj("Eroare", "The format has to contain %d string.", mkError, mbOK);
        return;
    }
    rowNumberFormat_ = format;
}

std::string TovCustomExport::DefaultExtension() const {
    switch (exportType_) {
        case xtHTML:
            return HTML.Extension == exHTM ? "HTM" : "HTML";
        case xtExcel:
            return "XLS";
        case xtXLSX:
            return "XLSX";
        case xtPDF:
            return "PDF";
        case xtWord:
            return "DOC";
        case xtTXT:
        case xtTAB:
            return "TXT";
        case xtCSV:
            return "CSV";
        case xtRTF:
            return "RTF";
        case xtDIF:
            return "DIF";
        case xtSYLK:
            return "SLK";
        case xtClipboard:
            return "TMP";
    }
    return "TMP";
}

std::string TovCustomExport::DialogFilter() const {
    const TovDocumentFilter& f = Messages.DocumentFilter;
    std::string description;
    switch (exportType_) {
        case xtHTML:
            description = f.HTML;
            break;
        case xtExcel:
            description = f.Excel;
            break;
        case xtXLSX:
            description = f.XLSX;
            break;
        case xtPDF:
            description = f.PDF;
            break;
        case xtWord:
            description = f.Word;
            break;
        case xtTXT:
            description = f.Text;
            break;
        case xtCSV:
            description = f.Comma;
            break;
        case xtTAB:
            description = f.Tab;
            break;
        case xtRTF:
            description = f.RTF;
            break;
        case xtDIF:
            description = f.DIF;
            break;
        case xtSYLK:
            description = f.SYLK;
            break;
        case xtClipboard:
            break;
    }
    const std::string ext = DefaultExtension();
    std::string lower = ext;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return description + " (*." + lower + ")|*." + ext;
}

std::string TovCustomExport::Title() const {
    std::string title = ClassName();
    for (char& c : title) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return title;
}

const CodePage& TovCustomExport::Page() const {
    const TovExportType t = exportType_;
    const bool utf8 = Utf8Text && (t == xtCSV || t == xtTAB || t == xtTXT || t == xtHTML);
    if (!codePage_ || (utf8 ? !codePage_->IsUtf8() : codePage_->Name() != CodePageName))
        codePage_ = CodePage::Get(utf8 ? std::string("utf-8") : CodePageName);
    return *codePage_;
}

std::string TovCustomExport::Encode(std::string_view utf8) const {
    return Page().Encode(utf8);
}

uint16_t TovCustomExport::WindowsCodePage() const {
    std::string digits;
    for (char c : CodePageName) {
        if (c >= '0' && c <= '9') digits += c;
    }
    const long n = digits.empty() || digits.size() > 5 ? 0 : std::stol(digits);
    return n > 0 && n <= 65535 ? static_cast<uint16_t>(n) : 0;
}

int TovCustomExport::ColumnWidth(int column, int defaultWidth) {
    if (column < 0 || column >= GetColumnCount() || column >= static_cast<int>(ColumnWidths.size()))
        return defaultWidth;
    const std::string& entry = ColumnWidths[static_cast<size_t>(column)];
    int value = 0;
    const auto [end, ec] = std::from_chars(entry.data(), entry.data() + entry.size(), value);
    if (ec != std::errc() || end != entry.data() + entry.size() || entry.empty())
        return defaultWidth;
    return value;
}

std::string TovCustomExport::CellText(const std::optional<std::string>& value, int width) const {
    std::string shortened;
    return std::string(CellView(value, width, shortened));
}

std::string_view TovCustomExport::CellView(const std::optional<std::string>& value, int width,
                                           std::string& shortened) const {
    const std::string_view text = value ? std::string_view(*value) : "** NUL **";
    if (!Options.Has(xoTruncate) || width <= 0) return text;
    const size_t length = utf8::CharCount(text);
    if (static_cast<size_t>(width) >= length) return text;
    const size_t symbol = utf8::CharCount(TruncateSymbol);
    const size_t keep = static_cast<size_t>(width) > symbol ? width - symbol : 0;
    shortened.assign(utf8::Prefix(text, keep));
    shortened += TruncateSymbol;
    return shortened;
}

std::string TovCustomExport::RowNumberCell() const {
    return RowNumberCellFor(rowsWritten_ + 1);
}

std::string TovCustomExport::RowNumberCellFor(int number) const {
    return FormatNumber(rowNumberFormat_, number);
}

std::string TovCustomExport::CreatedLine() const {
    // Joined, not used as a format: a '%' in the text is just a character.
    std::string now;
    if (Now) {
        now = Now();
    } else {
        const std::time_t t = std::time(nullptr);
        if (const std::tm* local = std::localtime(&t)) now = MomentText(*local);
    }
    return Messages.CreatedText + " " + now;
}

std::string TovCustomExport::MomentText(const std::tm& moment) const {
    char time[16];
    std::snprintf(time, sizeof time, " %02d:%02d:%02d", moment.tm_hour, moment.tm_min,
                  moment.tm_sec);
    return FormatDate(DayNumber(moment.tm_year + 1900, moment.tm_mon + 1, moment.tm_mday),
                      DateFormat) +
           time;
}

int TovCustomExport::TextLineWidth() {
    const int count = GetColumnCount();
    int width = 0;
    for (int i = 0; i < count; ++i) {
        if (Options.Has(xoExportInvisibles) || IsColumnVisible(i))
            width += ColumnWidth(i, GetColumnWidth(i));
    }
    if (Options.Has(xoRowNumbers)) return width + count + static_cast<int>(RowNumberCell().size());
    return width + count - 1;
}

std::string TovCustomExport::SeparatorLine(bool header) {
    if (!Options.Has(header ? xoHeaderLine : xoFooterLine)) return {};
    if (exportType_ == xtHTML) return "  <HR>";
    if (exportType_ == xtTXT || exportType_ == xtClipboard)
        return std::string(static_cast<size_t>(std::max(0, TextLineWidth())), '-');
    return {};
}

const TovRow& TovCustomExport::FormatRow(const TovValues& values, bool captionRow,
                                         bool rowNumbers) {
    // The columns' layout doesn't change during a run: asked once, not once per cell.
    if (layout_.empty() || layoutRun_ != run_) {
        layout_.clear();
        layoutRun_ = run_;
        const bool invisibles = Options.Has(xoExportInvisibles);
        for (int column = 0; column < GetColumnCount(); ++column) {
            if (!invisibles && !IsColumnVisible(column)) continue;
            TovCell& plan = layout_.emplace_back();
            plan.column = column;
            plan.alignment = GetColumnAlignment(column);
            plan.width = ColumnWidth(column, GetColumnWidth(column));
        }
    }
    TovRow& row = row_;
    row.caption = captionRow;
    if (rowNumbers)
        row.rowNumber = captionRow ? std::string() : RowNumberCell();
    else
        row.rowNumber.reset();
    size_t used = 0;
    for (const TovCell& plan : layout_) {
        if (static_cast<size_t>(plan.column) >= values.size()) break;
        if (row.cells.size() <= used) row.cells.emplace_back();
        TovCell& cell = row.cells[used++];
        cell.column = plan.column;
        cell.alignment = plan.alignment;
        cell.width = plan.width;
        cell.value = &values[static_cast<size_t>(plan.column)];
        cell.text = CellView(*cell.value, cell.width, cell.shortened);
    }
    row.cells.resize(used);
    ++sheetRow_;
    return row;
}

std::unique_ptr<TovFormatWriter> TovCustomExport::MakeWriter(const std::string& target) {
    switch (exportType_) {
        case xtExcel:
            return MakeExcelWriter(*this, target);
        case xtXLSX:
            return MakeXlsxWriter(*this, target);
        case xtPDF:
            return MakePdfWriter(*this, target);
        case xtTXT:
        case xtCSV:
        case xtTAB:
        case xtClipboard:
            return MakeTextWriter(*this, target);
        case xtHTML:
            return MakeHtmlWriter(*this, target);
        case xtDIF:
        case xtSYLK:
            return MakeSheetTextWriter(*this, target);
        case xtRTF:
        case xtWord:
            return MakeRtfWriter(*this, target);
    }
    throw std::runtime_error("Format de export necunoscut.");
}

std::string TovCustomExport::SuggestedFile() const {
    std::string path = lastSaveFolder_.empty() ? DocumentFolder() : lastSaveFolder_;
    const std::string name = DocumentName();
    if (name.empty()) return path;
    std::string ext = DefaultExtension();
    if (OnGetExtension) OnGetExtension(ext);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return path + name + "." + ext;
}

void TovCustomExport::Execute() {
    exportTypes_.Add(exportType_);
    ExportChooserRequest request;
    request.caption = Messages.Caption;
    request.exportCaption = Messages.ExportCaption;
    request.cancelCaption = Messages.CancelCaption;
    request.selectFormat = " " + Messages.SelectFormat + " ";
    request.viewOnly = Messages.ViewOnly;
    request.exportToFile = Messages.ExportToFile;
    for (TovExportType t : kChooserOrder) {
        if (exportTypes_.Has(t)) request.types.push_back(t);
    }
    request.type = exportType_;
    request.view = ExportStyle == xsView;
    request.utf8 = Utf8Text;
    if (!windows_.ChooseExportFormat(request)) return;
    Utf8Text = request.utf8;
    if (request.type >= 0 && request.type < kExportTypeCount)
        SetExportType(static_cast<TovExportType>(request.type));
    ExportStyle = request.view ? xsView : xsFile;

    if (FileName.empty() && ExportStyle == xsFile && exportType_ != xtClipboard) {
        FileDialogRequest saveAs;
        saveAs.title = Messages.SaveTitle;
        saveAs.filter = DialogFilter();
        saveAs.defaultExtension = DefaultExtension();
        saveAs.initialPath = SuggestedFile();
        const auto chosen = windows_.AskSaveFile(saveAs);
        if (!chosen) {
            RaiseError(xeUserCancelled);
            return;
        }
        FileName = *chosen;
        const auto slash = FileName.find_last_of("/\\");
        if (slash != std::string::npos) lastSaveFolder_ = FileName.substr(0, slash + 1);
    }
    ExportData();
}

void TovCustomExport::ExportData() {
    writtenFile_.clear();
    if (!SourceReady()) {
        RaiseError(xeComponentIsNull);
        return;
    }
    PrepareSource();
    struct Restore {
        TovCustomExport& x;
        ~Restore() {
            try {
                x.RestoreSource();
            } catch (...) {
            }
        }
    } restore{*this};
    const bool clipboard = exportType_ == xtClipboard;
    if (FileName.empty() && ExportStyle == xsFile && !clipboard) {
        RaiseError(xeInvalidFileName);
        return;
    }
    std::string ext = DefaultExtension();
    if (OnGetExtension) OnGetExtension(ext);
    std::string name;
    if (ExportStyle == xsView || clipboard) {
        std::string dir = tempDir_;
        if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
        for (unsigned n = 1; n <= 0xFFFF; ++n) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "%X", n);
            const std::string candidate = dir + "ZUQ" + hex + "." + ext;
            if (!FileExists(candidate)) {
                name = candidate;
                break;
            }
        }
        if (name.empty()) {
            lastError_ = "Nu mai este nici un nume liber in " + dir + ".";
            RaiseError(xeGeneralExportError);
            return;
        }
    } else {
        name = ReplaceExtension(FileName, ext);
    }
    WriteDocument(name);
    // Only a complete file is opened.
    if (ExportStyle == xsView && !clipboard && !writtenFile_.empty())
        platform_.ShellOpen(writtenFile_);
}

void TovCustomExport::WriteDocument(const std::string& fileName) {
    if (OnBeginExport) OnBeginExport();
    lastError_.clear();
    writtenFile_.clear();
    rowsLeftOut_ = 0;
    closingNote_.clear();
    ++run_;
    recordTotal_ = CountRecords();
    const bool progress = Options.Has(xoShowProgress);
    if (progress) {
        ExportProgressRequest request;
        request.caption = Messages.Caption;
        request.text = Messages.Text;
        request.width = Messages.Width;
        request.height = Messages.Height;
        request.total = recordTotal_;
        windows_.ExportProgressShow(request);
    }
    struct CloseProgress {
        ExportWindows& windows;
        bool on;
        ~CloseProgress() {
            if (on) windows.ExportProgressHide();
        }
    } closeProgress{windows_, progress};

    try {
        if (exportType_ != xtClipboard && FileExists(fileName)) {
            bool canOverWrite = true;
            if (OnFileExist) OnFileExist(fileName, canOverWrite);
            if (!canOverWrite) {
                RaiseError(xeFileExist);
                throw Refused{};
            }
        }
        recordsRead_ = 0;
        rowsWritten_ = 0;
        sheetRow_ = 1;
        FirstRecord();
        const int columns = GetColumnCount();
        if (columns == 0) return;
        std::unique_ptr<TovFormatWriter> writer = MakeWriter(fileName);
        writer->Begin();

        std::string header;
        if (OnGetHeader) OnGetHeader(static_cast<uint32_t>(recordTotal_), header);
        std::vector<std::string> headerLines = SplitLines(header);
        if (exportType_ == xtHTML && Options.Has(xoHeaderLine)) headerLines.push_back("  <HR>");
        writer->HeaderLines(headerLines);

        const bool rowNumbers = Options.Has(xoRowNumbers);
        if (Options.Has(xoShowHeader)) {
            TovValues captions(static_cast<size_t>(columns));
            for (int i = 0; i < columns; ++i) {
                captions[static_cast<size_t>(i)] = i < static_cast<int>(Captions.size())
                                                       ? Captions[static_cast<size_t>(i)]
                                                       : GetColumnCaption(i);
            }
            writer->Row(FormatRow(captions, true, rowNumbers));
        }
        writer->HeaderSeparator();

        const bool selectedOnly = Options.Has(xoSelectedRowsOnly);
        bool full = false;
        TovValues values;
        while (!AllRecordsRead()) {
            ReadRecord(values);
            const bool write = !selectedOnly || IsRecordSelected();
            if (OnExport)
                OnExport(static_cast<uint32_t>(recordsRead_), static_cast<uint32_t>(recordTotal_),
                         values, write);
            if (progress && !windows_.ExportProgressSet(recordsRead_)) throw Cancelled{};
            if (write && !full && !writer->HasRoom()) {
                full = true;
                if (!selectedOnly) {
                    // Every record left would have been written: no need to read them.
                    rowsLeftOut_ = std::max(1, recordTotal_ - recordsRead_);
                    break;
                }
            }
            if (write && full) {
                ++rowsLeftOut_;
            } else if (write) {
                writer->Row(FormatRow(values, false, rowNumbers));
                ++rowsWritten_;
            }
            ++recordsRead_;
        }
        writer->TableEnd();

        std::string footer;
        if (OnGetFooter) OnGetFooter(static_cast<uint32_t>(recordTotal_), footer);
        writer->Footer(SplitLines(footer));
        writer->End();
        if (exportType_ != xtClipboard) writtenFile_ = fileName;
    } catch (const Cancelled&) {
        rowsLeftOut_ = 0;
        RaiseError(xeUserCancelled);
    } catch (const Refused&) {
        rowsLeftOut_ = 0;
        lastError_ = "Fisierul " + fileName + " exista deja.";
        RaiseError(xeGeneralExportError);
    } catch (const std::exception& e) {
        rowsLeftOut_ = 0;
        lastError_ = e.what();
        RaiseError(xeGeneralExportError);
    }
    if (rowsLeftOut_ > 0) RaiseError(xeRowsLeftOut);
    if (OnEndExport) OnEndExport();
}

}  // namespace orbelan
