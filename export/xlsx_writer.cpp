#include "export/xlsx_writer.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <ctime>
#include <map>
#include <stdexcept>
#include <vector>

#include "core/text_util.h"
#include "engine/file_io.h"
#include "engine/utf8.h"
#include "export/format_writers.h"

#ifdef ORBELAN_HAVE_XLSX
#include "export/zip_writer.h"
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
// Fast deflate: at level 1 the sheets come out a little larger but several times sooner.
constexpr int kDeflateLevel = 1;
// The sheet's text is handed to the compressor in blocks of about this size.
constexpr size_t kSheetBlock = 1 << 18;

constexpr std::string_view kXmlHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr std::string_view kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view kRelNs =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

// The text cut to what a cell holds, counted in UTF-16 units as the spreadsheet counts them;
// false when it fits as it is.
bool CutToCell(std::string_view text, std::string& cut) {
    if (text.size() <= kCellChars) return false;
    const std::string_view head = utf8::Utf16Prefix(text, kCellChars);
    if (head.size() == text.size()) return false;
    cut.assign(head);
    return true;
}

// A sheet name the format accepts: at most 31 characters, none of []:*?/\, no apostrophe at
// either end.
std::string SheetName(std::string name) {
    for (char& c : name) {
        if (std::string_view("[]:*?/\\").find(c) != std::string_view::npos) c = '_';
    }
    while (!name.empty() && name.front() == '\'') name.erase(0, 1);
    name.resize(utf8::Prefix(name, 31).size());
    while (!name.empty() && name.back() == '\'') name.pop_back();
    return name;
}

// Bytes that go into XML text as they are; the others are looked at one by one.
constexpr auto kPlainXml = [] {
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x80; ++c) plain[static_cast<size_t>(c)] = true;
    for (const char c : {'&', '<', '>', '"', '_'}) plain[static_cast<unsigned char>(c)] = false;
    return plain;
}();

void AppendHexEscape(std::string& out, char32_t unit) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += "_x";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 15];
    out += '_';
}

// A well-formed UTF-8 sequence at i (no overlong form, no surrogate, nothing past U+10FFFF):
// its length, else 0.
size_t ValidSequence(std::string_view text, size_t i, char32_t& cp) {
    size_t next = i;
    const long value = utf8::NextCodePoint(text, next);
    const size_t length = next - i;
    if (value < 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    constexpr long kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kLeast[length]) return 0;
    cp = static_cast<char32_t>(value);
    return length;
}

// "_x" four hex digits "_" at i: what a reader takes for an escaped character.
bool LooksEscaped(std::string_view text, size_t i) {
    if (text.size() - i < 7 || text[i + 1] != 'x' || text[i + 6] != '_') return false;
    for (size_t k = 2; k < 6; ++k)
        if (!std::isxdigit(static_cast<unsigned char>(text[i + k]))) return false;
    return true;
}

// Text as XML character data (attribute values too), always well-formed UTF-8, in one pass.
// Characters XML can't carry are written the way spreadsheets read them back, _xHHHH_, and a
// text that already reads so gets its underscore escaped (_x005F_); bytes that are no UTF-8
// become U+FFFD.
void AppendEscaped(std::string& out, std::string_view text) {
    size_t from = 0;
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (kPlainXml[c]) {
            ++i;
            continue;
        }
        if (c == '\t' || c == '\n' || (c == '_' && !LooksEscaped(text, i))) {
            ++i;
            continue;
        }
        char32_t cp = 0;
        size_t length = 1;
        if (c >= 0x80) {
            length = ValidSequence(text, i, cp);
            if (length > 0 && cp != 0xFFFE && cp != 0xFFFF) {
                i += length;
                continue;
            }
        }
        out.append(text, from, i - from);
        if (c == '&' || c == '<' || c == '>' || c == '"') {
            out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : "&quot;";
        } else if (c == '_') {
            AppendHexEscape(out, '_');
        } else if (c < 0x20) {
            AppendHexEscape(out, c);
        } else if (length == 0) {
            out += "\xEF\xBF\xBD";
            length = 1;
        } else {
            AppendHexEscape(out, cp);  // U+FFFE, U+FFFF
        }
        i += length;
        from = i;
    }
    out.append(text, from, text.size() - from);
}

void AppendNumber(std::string& out, double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void AppendNumber(std::string& out, uint64_t value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

// "A", "B", ... "Z", "AA", ...
// A column width in characters as the spreadsheet stores it: whole pixels of a 7-pixel digit
// plus the 5-pixel margin, in 1/256 of a character.
double StoredWidth(double width) {
    const double pixels = std::floor(width * 7 + 0.5) + 5;
    return std::floor(pixels / 7 * 256) / 256;
}

// The name in a formula: always quoted, apostrophes doubled.
std::string QuotedSheet(std::string_view name) {
    std::string out = "'";
    for (char c : name) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

std::string IsoTime(std::time_t when) {
    const std::tm* t = std::gmtime(&when);
    if (!t) return "1980-01-01T00:00:00Z";
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", t);
    return text;
}

class XlsxWriter : public TovFormatWriter {
  public:
    XlsxWriter(TovCustomExport& engine, const std::string& target)
        : TovFormatWriter(engine), target_(target), scratch_(target) {}

    // Cancelled or failed: the scratch file goes with scratch_.

    void Begin() override {
        // Written straight into the scratch file beside the target, renamed over it at the end.
        zip_ = std::make_unique<ZipWriter>(scratch_, kDeflateLevel);
        formats_ = {XlsxDateFormat(x.DateFormat), XlsxDateFormat(x.DateTimeFormat)};
        firstName_ = SheetName(x.DocumentName());
        if (firstName_.empty()) firstName_ = "Foaie 1";
        created_ = x.CreatedLine();
        xml_.reserve(kSheetBlock + 4 * kCellChars + 1024);
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
        if (!sheetStarted_) StartSheet(row, false);
        StartRow();
        size_t column = 0;
        if (row.rowNumber) {
            const std::string& n = *row.rowNumber;
            int64_t number = 0;
            if (ReadsAsInteger(n, number)) {
                CellStart(column, nullptr, 0);
                xml_ += "<v>";
                AppendNumber(xml_, static_cast<double>(number));
                xml_ += "</v></c>";
            } else {
                TextCell(column, n, 0);
            }
            ++column;
        }
        for (const TovCell& cell : row.cells) WriteCell(cell, column++);
        xml_ += "</row>";
        lastColumn_ = std::max(lastColumn_, column > 0 ? column - 1 : 0);
        ++sheetRow_;
        ++dataRows_;
        if (xml_.size() >= kSheetBlock) Flush();
    }

    void End() override {
        FinishSheet();
        WriteBookParts();
        zip_->Finish();
        scratch_.Finish();
        scratch_.RenameOverTarget();
        if (sheets_.size() > 1) {
            x.AddClosingNote("Foaia .xlsx are cel mult " + std::to_string(x.XlsxSheetRows) +
                             " linii: cele " + std::to_string(dataRows_) +
                             " linii au fost scrise pe " + std::to_string(sheets_.size()) +
                             " foi, fiecare cu linia de titluri.");
        }
        if (cutTexts_ > 0) {
            x.AddClosingNote(std::to_string(cutTexts_) +
                             " texte mai lungi de 32767 caractere (cat incape intr-o celula) au "
                             "fost taiate.");
        }
    }

  private:
    struct Sheet {
        std::string name;
        size_t filterColumns = 0;  // the autofilter: its last column and row; 0 rows for none
        uint32_t filterRows = 0;
    };

    void NewSheet() {
        const size_t number = sheets_.size() + 1;
        std::string name = number == 1 ? firstName_ : "Foaie " + std::to_string(number);
        // Sheet names differ without regard to case.
        const auto lower = [](std::string s) {
            for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            return s;
        };
        for (const Sheet& sheet : sheets_)
            if (lower(sheet.name) == lower(name))
                throw std::runtime_error("Nu pot adauga foaia " + name + ".");
        sheets_.push_back({std::move(name), 0, 0});
        // A sheet grows row by row, to any size.
        zip_->BeginMember("xl/worksheets/sheet" + std::to_string(number) + ".xml", true);
        sheetRow_ = 0;
        sheetStarted_ = false;
    }

    // What comes before the cells: the view (frozen caption row) and the widths.
    void StartSheet(const TovRow& widthsFrom, bool frozen) {
        sheetStarted_ = true;
        xml_ += kXmlHead;
        xml_ += "<worksheet xmlns=\"";
        xml_ += kMainNs;
        xml_ += "\" xmlns:r=\"";
        xml_ += kRelNs;
        xml_ += "\"><sheetViews><sheetView ";
        if (sheets_.size() == 1) xml_ += "tabSelected=\"1\" ";
        xml_ += "workbookViewId=\"0\">";
        if (frozen)
            xml_ +=
                "<pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" "
                "state=\"frozen\"/><selection pane=\"bottomLeft\"/>";
        xml_ += "</sheetView></sheetViews><sheetFormatPr defaultRowHeight=\"15\"/>";
        std::vector<double> widths;
        if (widthsFrom.rowNumber) widths.push_back(8);
        for (size_t i = 0; i < widthsFrom.cells.size(); ++i) {
            size_t width = static_cast<size_t>(std::max(widthsFrom.cells[i].width, 1));
            if (i < captionTexts_.size())
                width = std::max(width, utf8::CharCount(captionTexts_[i]));
            widths.push_back(static_cast<double>(std::min<size_t>(width + 2, 100)));
        }
        if (!widths.empty()) {
            xml_ += "<cols>";
            for (size_t i = 0; i < widths.size(); ++i) {
                xml_ += "<col min=\"";
                AppendNumber(xml_, uint64_t{i + 1});
                xml_ += "\" max=\"";
                AppendNumber(xml_, uint64_t{i + 1});
                xml_ += "\" width=\"";
                AppendNumber(xml_, StoredWidth(widths[i]));
                xml_ += "\" customWidth=\"1\"/>";
            }
            xml_ += "</cols>";
        }
        xml_ += "<sheetData>";
        while (columnNames_.size() < widths.size())
            columnNames_.push_back(SheetColumnName(static_cast<int>(columnNames_.size())));
    }

    void WriteCaption() {
        if (!sheetStarted_) StartSheet(caption_, true);
        StartRow();
        size_t column = caption_.rowNumber ? 1 : 0;
        for (const std::string& text : captionTexts_) {
            if (!text.empty()) TextCell(column, text, kBold);
            ++column;
        }
        xml_ += "</row>";
        lastColumn_ = column > 0 ? column - 1 : 0;
        sheetRow_ = 1;
    }

    void FinishSheet() {
        if (!sheetStarted_) StartSheet({}, false);
        xml_ += "</sheetData>";
        if (!captionTexts_.empty() && sheetRow_ > 0) {
            sheets_.back().filterColumns = lastColumn_;
            sheets_.back().filterRows = sheetRow_;
            xml_ +=
                "<autoFilter ref=\"A1:" + Column(lastColumn_) + std::to_string(sheetRow_) + "\"/>";
        }
        xml_ +=
            "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" "
            "footer=\"0.3\"/></worksheet>";
        Flush();
        zip_->EndMember();
    }

    void Flush() {
        zip_->Write(xml_);
        xml_.clear();
    }

    const std::string& Column(size_t column) {
        while (columnNames_.size() <= column)
            columnNames_.push_back(SheetColumnName(static_cast<int>(columnNames_.size())));
        return columnNames_[column];
    }

    void StartRow() {
        char buffer[16];
        rowRef_.assign(buffer, std::to_chars(buffer, buffer + sizeof buffer, sheetRow_ + 1).ptr);
        xml_ += "<row r=\"";
        xml_ += rowRef_;
        xml_ += "\">";
    }

    // <c r="B2" t="type" s="style">; no type for a number, no style for style 0.
    void CellStart(size_t column, const char* type, size_t style) {
        xml_ += "<c r=\"";
        xml_ += Column(column);
        xml_ += rowRef_;
        if (type) {
            xml_ += "\" t=\"";
            xml_ += type;
        }
        if (style) {
            xml_ += "\" s=\"";
            AppendNumber(xml_, uint64_t{style});
        }
        xml_ += "\">";
    }

    void TextCell(size_t column, std::string_view text, size_t style) {
        if (text.empty()) return;  // an empty text is an empty cell
        CellStart(column, "inlineStr", style);
        // Blanks at either end survive only when asked for.
        const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
        xml_ += blank(text.front()) || blank(text.back()) ? "<is><t xml:space=\"preserve\">"
                                                          : "<is><t>";
        AppendEscaped(xml_, text);
        xml_ += "</t></is></c>";
    }

    void NumberCell(size_t column, double value, size_t style) {
        CellStart(column, nullptr, style);
        xml_ += "<v>";
        AppendNumber(xml_, value);
        xml_ += "</v></c>";
    }

    void WriteCell(const TovCell& cell, size_t column) {
        const TovTypedValue* typed = x.TypedValue(cell.column);
        if (typed && (typed->kind == TovTypedValue::Text || typed->kind == TovTypedValue::Logical ||
                      std::isfinite(typed->number))) {
            switch (typed->kind) {
                case TovTypedValue::Empty:
                    return;
                case TovTypedValue::Number:
                    NumberCell(column, typed->number, NumberStyle(typed->decimals));
                    return;
                case TovTypedValue::Date:
                    NumberCell(column, typed->number, kDate);
                    return;
                case TovTypedValue::DateTime:
                    NumberCell(column, typed->number, kDateTime);
                    return;
                case TovTypedValue::Logical:
                    CellStart(column, "b", 0);
                    xml_ += typed->flag ? "<v>1</v></c>" : "<v>0</v></c>";
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
        TextCell(column, cut ? std::string_view(cutText_) : std::string_view(text), 0);
    }

    // The cell style of a number with its field's decimals; 0 (general) when it has none.
    size_t NumberStyle(int decimals) {
        if (decimals < 0) return 0;
        decimals = std::min(decimals, 30);
        size_t& style = numberStyles_[decimals];
        if (!style) {
            formats_.push_back(
                decimals == 0 ? "0" : "0." + std::string(static_cast<size_t>(decimals), '0'));
            style = formats_.size() + 1;  // after the general and the bold style
        }
        return style;
    }

    std::string Styles() const {
        std::string s(kXmlHead);
        s += "<styleSheet xmlns=\"";
        s += kMainNs;
        s += "\"><numFmts count=\"" + std::to_string(formats_.size()) + "\">";
        for (size_t i = 0; i < formats_.size(); ++i) {
            s += "<numFmt numFmtId=\"" + std::to_string(kFirstFormat + i) + "\" formatCode=\"";
            AppendEscaped(s, formats_[i]);
            s += "\"/>";
        }
        s += "</numFmts><fonts count=\"2\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family "
             "val=\"2\"/></font><font><b/><sz val=\"11\"/><name val=\"Calibri\"/><family "
             "val=\"2\"/></font></fonts><fills count=\"2\"><fill><patternFill "
             "patternType=\"none\"/></fill><fill><patternFill "
             "patternType=\"gray125\"/></fill></fills><borders "
             "count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
             "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
             "borderId=\"0\"/></cellStyleXfs>";
        s += "<cellXfs count=\"" + std::to_string(formats_.size() + 2) + "\">";
        s += "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>";
        s += "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" "
             "applyFont=\"1\"/>";
        for (size_t i = 0; i < formats_.size(); ++i)
            s += "<xf numFmtId=\"" + std::to_string(kFirstFormat + i) +
                 "\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>";
        s += "</cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" "
             "builtinId=\"0\"/></cellStyles><dxfs count=\"0\"/><tableStyles count=\"0\"/>"
             "</styleSheet>";
        return s;
    }

    void WriteBookParts() {
        std::string book(kXmlHead);
        book += "<workbook xmlns=\"";
        book += kMainNs;
        book += "\" xmlns:r=\"";
        book += kRelNs;
        book += "\"><workbookPr/><bookViews><workbookView/></bookViews><sheets>";
        std::string names, bookRels(kXmlHead), types(kXmlHead);
        bookRels +=
            "<Relationships "
            "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
        types +=
            "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
            "<Default Extension=\"rels\" "
            "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
            "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
            "<Override PartName=\"/xl/workbook.xml\" "
            "ContentType=\"application/"
            "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
            "<Override PartName=\"/xl/styles.xml\" "
            "ContentType=\"application/"
            "vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
            "<Override PartName=\"/docProps/core.xml\" "
            "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>"
            "<Override PartName=\"/docProps/app.xml\" "
            "ContentType=\"application/"
            "vnd.openxmlformats-officedocument.extended-properties+xml\"/>";
        for (size_t i = 0; i < sheets_.size(); ++i) {
            const std::string n = std::to_string(i + 1);
            book += "<sheet name=\"";
            AppendEscaped(book, sheets_[i].name);
            book += "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
            bookRels += "<Relationship Id=\"rId" + n + "\" Type=\"";
            bookRels += kRelNs;
            bookRels += "/worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
            types += "<Override PartName=\"/xl/worksheets/sheet" + n +
                     ".xml\" ContentType=\"application/"
                     "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
            if (sheets_[i].filterRows == 0) continue;
            // The filter's range as the spreadsheet itself keeps it.
            const std::string range = "!$A$1:$" + Column(sheets_[i].filterColumns) + "$" +
                                      std::to_string(sheets_[i].filterRows);
            names += "<definedName name=\"_xlnm._FilterDatabase\" localSheetId=\"" +
                     std::to_string(i) + "\" hidden=\"1\">";
            AppendEscaped(names, QuotedSheet(sheets_[i].name) + range);
            names += "</definedName>";
        }
        book += "</sheets>";
        if (!names.empty()) book += "<definedNames>" + names + "</definedNames>";
        book += "<calcPr calcId=\"124519\" fullCalcOnLoad=\"1\"/></workbook>";
        const std::string styles = std::to_string(sheets_.size() + 1);
        bookRels += "<Relationship Id=\"rId" + styles + "\" Type=\"";
        bookRels += kRelNs;
        bookRels += "/styles\" Target=\"styles.xml\"/></Relationships>";
        types += "</Types>";

        std::string rels(kXmlHead);
        rels +=
            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
            "<Relationship Id=\"rId1\" Type=\"";
        rels += kRelNs;
        rels +=
            "/officeDocument\" Target=\"xl/workbook.xml\"/><Relationship Id=\"rId2\" "
            "Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/"
            "core-properties\" Target=\"docProps/core.xml\"/><Relationship Id=\"rId3\" Type=\"";
        rels += kRelNs;
        rels += "/extended-properties\" Target=\"docProps/app.xml\"/></Relationships>";

        const std::string now = IsoTime(std::time(nullptr));
        std::string core(kXmlHead);
        core +=
            "<cp:coreProperties "
            "xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
            "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
            "xmlns:dcterms=\"http://purl.org/dc/terms/\" "
            "xmlns:dcmitype=\"http://purl.org/dc/dcmitype/\" "
            "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><dc:title>";
        AppendEscaped(core, firstName_);
        core += "</dc:title><dc:description>";
        AppendEscaped(core, created_);
        core += "</dc:description><dcterms:created xsi:type=\"dcterms:W3CDTF\">" + now +
                "</dcterms:created><dcterms:modified xsi:type=\"dcterms:W3CDTF\">" + now +
                "</dcterms:modified></cp:coreProperties>";
        std::string app(kXmlHead);
        app +=
            "<Properties "
            "xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\" "
            "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\">"
            "<Application>DBF Orbelan</Application></Properties>";

        zip_->AddMember("xl/workbook.xml", book);
        zip_->AddMember("xl/_rels/workbook.xml.rels", bookRels);
        zip_->AddMember("xl/styles.xml", Styles());
        zip_->AddMember("docProps/core.xml", core);
        zip_->AddMember("docProps/app.xml", app);
        zip_->AddMember("_rels/.rels", rels);
        zip_->AddMember("[Content_Types].xml", types);
    }

    // Cell styles: 0 general, then these, then one per number format after the date ones.
    static constexpr size_t kBold = 1, kDate = 2, kDateTime = 3;
    static constexpr size_t kFirstFormat = 164;  // the first number format of a workbook's own

    std::string target_;
    TempFile scratch_;
    std::unique_ptr<ZipWriter> zip_;
    std::vector<std::string> formats_;  // the number formats, the date ones first
    std::map<int, size_t> numberStyles_;
    std::vector<Sheet> sheets_;
    std::string firstName_, created_;
    TovRow caption_;
    std::vector<std::string> captionTexts_;
    std::vector<std::string> columnNames_;
    std::string xml_;  // the sheet's text not yet compressed
    std::string rowRef_;
    uint32_t sheetRow_ = 0;
    size_t lastColumn_ = 0;
    bool sheetStarted_ = false;
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
