#include "export/xlsx_writer.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <stdexcept>
#include <vector>

#include "engine/file_io.h"
#include "export/format_writers.h"

#ifdef ORBELAN_HAVE_XLSX
#include <xlsxwriter.h>
#endif

namespace orbelan {

std::string XlsxDateFormat(std::string_view pattern) {
    std::string out;
    for (size_t i = 0; i < pattern.size();) {
        const auto starts = [&](std::string_view token) {
            return pattern.substr(i, token.size()) == token;
        };
        const char c = pattern[i];
        if (starts("AMPM") || starts("ampm")) {
            out += "AM/PM";
            i += 4;
        } else if (starts("AM/PM") || starts("am/pm")) {
            out += "AM/PM";
            i += 5;
        } else if (c == 'M' || c == 'n') {
            out += 'm';  // month; 'n' is the other notation's minutes, 'm' after 'h' in both
            ++i;
        } else if (c == 'H') {
            out += 'h';
            ++i;
        } else if (c == 'z') {
            out += '0';
            ++i;
        } else if (std::string_view("dmyhs.:/- ,").find(c) != std::string_view::npos) {
            out += c;
            ++i;
        } else {
            out += '\\';  // any other character is shown as itself
            out += c;
            ++i;
        }
    }
    return out;
}

#ifndef ORBELAN_HAVE_XLSX

bool XlsxAvailable() {
    return false;
}

std::unique_ptr<TovFormatWriter> MakeXlsxWriter(TovCustomExport&, const std::string&) {
    throw std::runtime_error(kXlsxUnavailable);
}

#else

bool XlsxAvailable() {
    return true;
}

namespace {

// What a cell of a spreadsheet holds at most.
constexpr size_t kCellChars = 32767;

// The text cut to what a cell holds, counted in UTF-16 units as the spreadsheet counts them;
// false when it fits as it is.
bool CutToCell(std::string_view text, std::string& cut) {
    if (text.size() <= kCellChars) return false;
    size_t units = 0, i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const size_t need = length == 4 ? 2 : 1;
        if (units + need > kCellChars) break;
        units += need;
        i += length;
    }
    if (i >= text.size()) return false;
    cut.assign(text.substr(0, i));
    return true;
}

size_t Utf8Length(std::string_view s) {
    size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
}

// A sheet name the format accepts: at most 31 characters, none of []:*?/\, no apostrophe at
// either end.
std::string SheetName(std::string name) {
    for (char& c : name) {
        if (std::string_view("[]:*?/\\").find(c) != std::string_view::npos) c = '_';
    }
    while (!name.empty() && name.front() == '\'') name.erase(0, 1);
    size_t end = 0;
    for (size_t chars = 0; end < name.size(); ++end) {
        if ((static_cast<unsigned char>(name[end]) & 0xC0) != 0x80 && chars++ == 31) break;
    }
    name.resize(end);
    while (!name.empty() && name.back() == '\'') name.pop_back();
    return name;
}

void Check(lxw_error error) {
    if (error != LXW_NO_ERROR) throw std::runtime_error(lxw_strerror(error));
}

class XlsxWriter : public TovFormatWriter {
  public:
    XlsxWriter(TovCustomExport& engine, const std::string& target)
        : TovFormatWriter(engine), target_(target), scratch_(target) {}

    // Cancelled or failed: the workbook is dropped and the scratch file removed.
    ~XlsxWriter() override {
        if (book_) lxw_workbook_free(book_);
    }

    void Begin() override {
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        // Written straight into the scratch file beside the target, renamed over it at the end.
        book_ = workbook_new_opt(scratch_.Path().c_str(), &options);
        if (!book_) throw std::runtime_error("Nu pot scrie fisierul " + target_ + ".");
        bold_ = workbook_add_format(book_);
        format_set_bold(bold_);
        date_ = workbook_add_format(book_);
        format_set_num_format(date_, XlsxDateFormat(x.DateFormat).c_str());
        dateTime_ = workbook_add_format(book_);
        format_set_num_format(dateTime_, XlsxDateFormat(x.DateTimeFormat).c_str());

        firstName_ = SheetName(x.DocumentName());
        if (firstName_.empty()) firstName_ = "Foaie 1";
        std::string created = x.CreatedLine();
        lxw_doc_properties properties{};
        properties.title = firstName_.data();
        properties.comments = created.data();
        properties.created = std::time(nullptr);
        Check(workbook_set_properties(book_, &properties));
        NewSheet();
    }

    void Row(const TovRow& row) override {
        if (row.caption) {
            caption_ = row;
            for (TovCell& cell : caption_.cells) {
                captionTexts_.emplace_back(cell.value && *cell.value ? **cell.value : "");
                cell.value = nullptr;
            }
            WriteCaption();
            return;
        }
        if (sheetRow_ >= static_cast<uint32_t>(std::max(2, x.XlsxSheetRows))) {
            FinishSheet();
            NewSheet();
            if (!captionTexts_.empty()) WriteCaption();
        }
        if (!widthsSet_) SetWidths(row);
        lxw_col_t column = 0;
        if (row.rowNumber) {
            const std::string& n = *row.rowNumber;
            int64_t number = 0;
            if (ReadsAsInteger(n, number))
                Check(worksheet_write_number(sheet_, sheetRow_, column, double(number), nullptr));
            else
                Check(worksheet_write_string(sheet_, sheetRow_, column, n.c_str(), nullptr));
            ++column;
        }
        for (const TovCell& cell : row.cells) {
            WriteCell(cell, column++);
        }
        lastColumn_ = std::max<lxw_col_t>(lastColumn_, column > 0 ? column - 1 : 0);
        ++sheetRow_;
        ++dataRows_;
    }

    void End() override {
        FinishSheet();
        lxw_workbook* book = book_;
        book_ = nullptr;  // freed by the close, whatever it returns
        Check(workbook_close(book));
        scratch_.Finish();
        scratch_.RenameOverTarget();
        if (sheets_ > 1) {
            x.AddClosingNote("Foaia .xlsx are cel mult " + std::to_string(x.XlsxSheetRows) +
                             " linii: cele " + std::to_string(dataRows_) +
                             " linii au fost scrise pe " + std::to_string(sheets_) +
                             " foi, fiecare cu linia de titluri.");
        }
        if (cutTexts_ > 0) {
            x.AddClosingNote(std::to_string(cutTexts_) +
                             " texte mai lungi de 32767 caractere (cat incape intr-o celula) au "
                             "fost taiate.");
        }
    }

  private:
    void NewSheet() {
        ++sheets_;
        const std::string name = sheets_ == 1 ? firstName_ : "Foaie " + std::to_string(sheets_);
        sheet_ = workbook_add_worksheet(book_, name.c_str());
        if (!sheet_) throw std::runtime_error("Nu pot adauga foaia " + name + ".");
        sheetRow_ = 0;
        widthsSet_ = false;
    }

    void WriteCaption() {
        SetWidths(caption_);
        lxw_col_t column = 0;
        if (caption_.rowNumber) ++column;
        for (const std::string& text : captionTexts_) {
            if (!text.empty())
                Check(worksheet_write_string(sheet_, 0, column, text.c_str(), bold_));
            ++column;
        }
        lastColumn_ = column > 0 ? column - 1 : 0;
        worksheet_freeze_panes(sheet_, 1, 0);
        sheetRow_ = 1;
    }

    // Widths from the fields' widths, wide enough for the caption and the filter's button.
    void SetWidths(const TovRow& row) {
        widthsSet_ = true;
        lxw_col_t column = 0;
        if (row.rowNumber) {
            Check(worksheet_set_column(sheet_, 0, 0, 8, nullptr));
            ++column;
        }
        for (size_t i = 0; i < row.cells.size(); ++i, ++column) {
            size_t width = static_cast<size_t>(std::max(row.cells[i].width, 1));
            if (i < captionTexts_.size()) width = std::max(width, Utf8Length(captionTexts_[i]));
            Check(worksheet_set_column(sheet_, column, column,
                                       static_cast<double>(std::min<size_t>(width + 2, 100)),
                                       nullptr));
        }
    }

    void FinishSheet() {
        if (!captionTexts_.empty() && sheetRow_ > 0)
            Check(worksheet_autofilter(sheet_, 0, 0, sheetRow_ - 1, lastColumn_));
    }

    void WriteCell(const TovCell& cell, lxw_col_t column) {
        const TovTypedValue* typed = x.TypedValue(cell.column);
        if (typed) {
            switch (typed->kind) {
                case TovTypedValue::Empty:
                    return;
                case TovTypedValue::Number:
                    Check(worksheet_write_number(sheet_, sheetRow_, column, typed->number,
                                                 NumberFormat(typed->decimals)));
                    return;
                case TovTypedValue::Date:
                case TovTypedValue::DateTime:
                    Check(worksheet_write_number(
                        sheet_, sheetRow_, column, typed->number,
                        typed->kind == TovTypedValue::Date ? date_ : dateTime_));
                    return;
                case TovTypedValue::Logical:
                    Check(worksheet_write_boolean(sheet_, sheetRow_, column, typed->flag, nullptr));
                    return;
                case TovTypedValue::Text:
                    break;
            }
        }
        // Texts whole, whatever the grid's truncation; a null value is an empty cell.
        if (!cell.value || !*cell.value || (*cell.value)->empty()) return;
        const std::string& text = **cell.value;
        const bool cut = CutToCell(text, cutText_);
        cutTexts_ += cut;
        Check(worksheet_write_string(sheet_, sheetRow_, column,
                                     cut ? cutText_.c_str() : text.c_str(), nullptr));
    }

    lxw_format* NumberFormat(int decimals) {
        if (decimals < 0) return nullptr;
        decimals = std::min(decimals, 30);
        lxw_format*& format = numberFormats_[decimals];
        if (!format) {
            format = workbook_add_format(book_);
            const std::string pattern =
                decimals == 0 ? "0" : "0." + std::string(static_cast<size_t>(decimals), '0');
            format_set_num_format(format, pattern.c_str());
        }
        return format;
    }

    std::string target_;
    TempFile scratch_;
    lxw_workbook* book_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* bold_ = nullptr;
    lxw_format* date_ = nullptr;
    lxw_format* dateTime_ = nullptr;
    std::map<int, lxw_format*> numberFormats_;
    std::string firstName_;
    TovRow caption_;
    std::vector<std::string> captionTexts_;
    uint32_t sheetRow_ = 0;
    lxw_col_t lastColumn_ = 0;
    bool widthsSet_ = false;
    int sheets_ = 0;
    int64_t dataRows_ = 0;
    int cutTexts_ = 0;
    std::string cutText_;
};

}  // namespace

std::unique_ptr<TovFormatWriter> MakeXlsxWriter(TovCustomExport& engine,
                                                const std::string& target) {
    return std::make_unique<XlsxWriter>(engine, target);
}

#endif

}  // namespace orbelan
