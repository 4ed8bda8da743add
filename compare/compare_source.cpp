#include "compare/compare_source.h"

#include <cstdio>
#include <fstream>
#include <optional>

#include "core/text_util.h"
#include "engine/date_util.h"
#include "engine/dbf_writer.h"
#include "engine/errors.h"
#include "engine/field_codec.h"
#include "engine/field_value.h"
#include "engine/rewrite.h"
#include "engine/romanian_order.h"
#include "engine/text_parse.h"
#include "engine/utf8.h"
#include "importing/import_table.h"

namespace orbelan {
namespace {

// Letters stand for themselves in a plane no table's text uses: one code per letter of the
// Romanian alphabet, and one more set for small letters when the case counts.
constexpr char32_t kLetterCodes = 0x10FF00;

bool IsRomanianLetter(char32_t cp) {
    switch (cp) {
        case 0x102:
        case 0x103:
        case 0xC2:
        case 0xE2:
        case 0xCE:
        case 0xEE:
        case 0x15E:
        case 0x15F:
        case 0x218:
        case 0x219:
        case 0x162:
        case 0x163:
        case 0x21A:
        case 0x21B:
            return true;
        default:
            return false;
    }
}

bool IsSmallLatin(char32_t cp) {
    if (cp >= 'a' && cp <= 'z') return true;
    if (cp >= 0xDF && cp <= 0xFF) return cp != 0xF7;
    if ((cp >= 0x100 && cp <= 0x137) || (cp >= 0x14A && cp <= 0x177)) return cp % 2 == 1;
    if ((cp >= 0x139 && cp <= 0x148) || (cp >= 0x179 && cp <= 0x17E)) return cp % 2 == 0;
    if (cp >= 0x218 && cp <= 0x21B) return cp % 2 == 1;
    return cp == 0x17F;
}

char32_t CapitalLatin(char32_t cp) {
    if (!IsSmallLatin(cp) || cp == 0xDF || cp == 0x17F) return cp;
    if (cp == 0xFF) return 0x178;
    if (cp < 0x100) return cp - 0x20;
    return cp - 1;
}

char32_t FoldCodePoint(char32_t cp, const TextOptions& o) {
    const uint16_t rank = RomanianRank(cp);
    if (rank < 0x200 || rank >= 0x200 + 31) return cp;  // not a letter
    // Letters ignoring case and accents come from the order's ranks; an accent other than
    // Romanian ones is kept apart unless diacritics are ignored.
    if (!o.ignoreDiacritics && cp >= 0x80 && !IsRomanianLetter(cp)) return CapitalLatin(cp);
    int letter = rank - 0x200;
    if (o.ignoreDiacritics) {
        // Ă Â -> A, Î -> I, Ş -> S, Ţ -> T (their places in the order)
        if (letter == 1 || letter == 2)
            letter = 0;
        else if (letter == 11)
            letter = 10;
        else if (letter == 22)
            letter = 21;
        else if (letter == 24)
            letter = 23;
    }
    const bool small = !o.ignoreCase && IsSmallLatin(cp);
    return kLetterCodes + static_cast<char32_t>(letter) + (small ? 0x40 : 0);
}

void DateForm(int day, int64_t ms, std::string& out) {
    out = 'D';
    out += std::to_string(day);
    if (ms != 0) {
        out += '@';
        out += std::to_string(ms);
    }
}

void NumberForm(std::string_view digits, char separator, std::string& out) {
    const std::optional<std::string> n = CanonicalNumber(digits, separator);
    if (!n || n->empty()) return;
    out = 'N';
    out += *n;
}

// A text value's typed form in a column pair of class cls; a text that isn't a value of the
// class stays a text, equal to nothing typed.
void TypedText(std::string_view utf8, ValueClass cls, const TextOptions& o,
               const FormatSettings& format, std::string& out) {
    out.clear();
    const std::string_view t = Trim(utf8);
    if (t.empty()) return;
    switch (cls) {
        case ValueClass::Number:
            if (const auto n = CanonicalNumber(t, format.decimalSeparator)) {
                if (!n->empty()) {
                    out = 'N';
                    out += *n;
                }
                return;
            }
            break;
        case ValueClass::Date:
            if (const auto d = ParseDateTimeText(t, format)) return DateForm(d->day, d->ms, out);
            break;
        case ValueClass::Logical:
            if (const auto b = ParseLogicalText(t)) {
                out = *b ? "L1" : "L0";
                return;
            }
            break;
        case ValueClass::Text:
            break;
    }
    out = 'T';
    AppendFolded(utf8, o, out);
}

std::string YmdText(int day, int64_t ms) {
    std::string s = FormatDate(day, "yyyy-MM-dd");
    if (ms > 0) {
        const int sec = static_cast<int>(ms / 1000 % 86400);
        char time[32];
        std::snprintf(time, sizeof time, " %02d:%02d:%02d", sec / 3600, sec / 60 % 60, sec % 60);
        s += time;
    }
    return s;
}

class DbfSource final : public CompareSource {
  public:
    DbfSource(const std::string& path, const DbfOpenOptions& options, const FormatSettings& format)
        : file_(DbfFile::Open(path, options)) {
        path_ = path;
        format_ = format;
        fields_ = file_->Fields();
        for (int i = 0; i < file_->FieldCount(); ++i) {
            names_.push_back(fields_[static_cast<size_t>(i)].name);
            readers_.emplace_back(file_->Layout(), file_->FieldAt(i));
        }
        FoldNames();
    }

    uint32_t Rows() const override { return file_->RecordCount(); }
    bool Skipped(uint32_t row) const override { return file_->IsDeleted(row); }
    const DbfFile* Dbf() const override { return file_.get(); }
    long RowNumber(uint32_t row) const override { return static_cast<long>(row) + 1; }

    void Canonical(uint32_t row, int column, ValueClass cls, const TextOptions& o,
                   std::string& out) const override {
        out.clear();
        const uint8_t* rec = file_->Record(row);
        const auto c = static_cast<size_t>(column);
        if (fields_[c].IsMemo())
            return TypedText(file_->Text(rec, column, format_), cls, o, format_, out);
        const FieldValue v = readers_[c].Read(rec);
        switch (v.kind) {
            case ValueKind::Empty:
            case ValueKind::Null:
                return;
            case ValueKind::Number:
                if (cls == ValueClass::Number || cls == ValueClass::Text) {
                    if (!v.text.empty()) return NumberForm(v.text, '.', out);
                    return NumberForm(DoubleText(v.number), '.', out);
                }
                break;
            case ValueKind::Date:
            case ValueKind::DateTime:
                if (cls == ValueClass::Date) return DateForm(v.day, v.ms, out);
                break;
            case ValueKind::Bool:
                if (cls == ValueClass::Logical) {
                    out = v.flag ? "L1" : "L0";
                    return;
                }
                break;
            case ValueKind::Text:
                if (file_->Page().IsUtf8() || Ascii(v.text))
                    return TypedText(v.text, cls, o, format_, out);
                decoded_.clear();
                file_->Page().AppendDecoded(v.text, decoded_);
                return TypedText(decoded_, cls, o, format_, out);
            default:
                break;
        }
        TypedText(file_->Text(rec, column, format_), cls, o, format_, out);
    }

    std::string Text(uint32_t row, int column) const override {
        return file_->Text(file_->Record(row), column, format_);
    }

    Converted ConvertFor(uint32_t row, int column, const FieldDef& target,
                         const CodePage& page) const override {
        return ConvertField(*file_, file_->Record(row), column, target, page, format_);
    }

    long WriteRows(const std::vector<uint32_t>& rows, const std::string& path,
                   const std::string&) const override {
        DbfWriter::Definition d = StructureOf(*file_);
        d.copyMemoFrom.clear();
        d.freshMemo = true;
        DbfWriter w(path, d);
        std::vector<DbfWriter::FieldCopy> copies;
        for (int i = 0; i < file_->FieldCount(); ++i) copies.push_back({i, i});
        DbfWriter::CopyOptions copy;
        copy.keepsMemoBlocks = false;
        copy.unreadableMemoAsEmpty = true;
        w.PlanCopy(*file_, copies, format_, copy);
        for (const uint32_t r : rows) {
            w.BeginRow();
            w.CopyPlanned(file_->Record(r));
            w.EndRow();
        }
        w.Commit();
        return 0;
    }

  private:
    static bool Ascii(std::string_view s) {
        for (const char c : s)
            if (static_cast<unsigned char>(c) >= 0x80) return false;
        return true;
    }

    std::unique_ptr<DbfFile> file_;
    std::vector<FieldReader> readers_;
    mutable std::string decoded_;
};

class SheetSource final : public CompareSource {
  public:
    SheetSource(const std::string& path, const SourceOptions& options,
                const FormatSettings& format) {
        path_ = path;
        format_ = format;
        const std::unique_ptr<ImportSource> source = OpenImportSource(path, options);
        const ImportPreview preview = PreviewSource(*source, 0);
        columns_ = preview.columns;
        for (const ColumnField& c : columns_) {
            fields_.push_back(c.field);
            const auto at = static_cast<size_t>(c.column);
            names_.push_back(at < preview.header.size() ? preview.header[at] : c.field.name);
        }
        source->Rewind();
        std::vector<Cell> row;
        if (source->Next(row)) {  // the header
            while (source->Next(row)) {
                rows_.push_back(row);
                rowNumbers_.push_back(source->RowNumber());
            }
        }
        FoldNames();
    }

    uint32_t Rows() const override { return static_cast<uint32_t>(rows_.size()); }
    bool Skipped(uint32_t) const override { return false; }
    long RowNumber(uint32_t row) const override { return rowNumbers_[row]; }

    void Canonical(uint32_t row, int column, ValueClass cls, const TextOptions& o,
                   std::string& out) const override {
        out.clear();
        const Cell& cell = CellAt(row, column);
        switch (cell.kind) {
            case CellKind::Empty:
                return;
            case CellKind::Number:
                if (cls == ValueClass::Number || cls == ValueClass::Text)
                    return NumberForm(cell.text, '.', out);
                break;
            case CellKind::Date:
                if (cls == ValueClass::Date) return DateForm(cell.day, cell.ms, out);
                break;
            case CellKind::Logical:
                if (cls == ValueClass::Logical) {
                    out = cell.text == "T" ? "L1" : "L0";
                    return;
                }
                break;
            case CellKind::Text: {
                // A column the import reads as numbers knows its separators ("1.234,5").
                const ColumnField& c = columns_[static_cast<size_t>(column)];
                if (cls == ValueClass::Number && c.field.type == 'N') {
                    FieldValueText v;
                    std::string why;
                    if (ReadCellFor(cell, c, v, why) && !v.isDay) {
                        if (!v.empty) NumberForm(v.text, '.', out);
                        return;
                    }
                }
                return TypedText(cell.text, cls, o, format_, out);
            }
        }
        TypedText(CellText(cell), cls, o, format_, out);
    }

    std::string Text(uint32_t row, int column) const override {
        return CellText(CellAt(row, column));
    }

    Converted ConvertFor(uint32_t row, int column, const FieldDef& target,
                         const CodePage& page) const override {
        const Cell& cell = CellAt(row, column);
        if (cell.kind == CellKind::Date)
            return ConvertText(YmdText(cell.day, cell.ms), target, page, format_);
        const ColumnField& c = columns_[static_cast<size_t>(column)];
        if (target.Kind() == FieldKind::Number && c.field.type == 'N') {
            FieldValueText v;
            std::string why;
            if (ReadCellFor(cell, c, v, why) && !v.isDay)
                return ConvertText(v.text, target, page,
                                   FormatSettings{'.', format_.shortDateFormat});
        }
        return ConvertText(CellText(cell), target, page, format_);
    }

    long WriteRows(const std::vector<uint32_t>& rows, const std::string& path,
                   const std::string& codePage) const override {
        DbfWriter::Definition d;
        d.codePage = codePage;
        d.fields = fields_;
        DbfWriter w(path, d);
        const FormatSettings plain{'.', format_.shortDateFormat};
        long lost = 0;
        for (const uint32_t r : rows) {
            w.BeginRow();
            for (size_t i = 0; i < columns_.size(); ++i) {
                FieldValueText v;
                std::string why;
                const Cell& cell = CellAt(r, static_cast<int>(i));
                if (!ReadCellFor(cell, columns_[i], v, why)) {
                    ++lost;
                    continue;
                }
                if (v.empty) continue;
                try {
                    if (v.isDay)
                        w.SetDate(static_cast<int>(i), v.day, plain);
                    else if (fields_[i].IsMemo())
                        w.SetMemo(static_cast<int>(i), v.text);
                    else
                        w.SetText(static_cast<int>(i), v.text, plain);
                } catch (const DbfError& e) {
                    if (e.Kind() == ErrorKind::Io) throw;
                    ++lost;
                }
            }
            w.EndRow();
        }
        w.Commit();
        return lost;
    }

    void WriteCsv(const std::vector<uint32_t>& rows, const std::string& path) const override {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        const auto line = [&](const std::vector<std::string>& cells) {
            for (size_t i = 0; i < cells.size(); ++i) out << (i ? "," : "") << CsvField(cells[i]);
            out << "\r\n";
        };
        line(names_);
        std::vector<std::string> cells(columns_.size());
        for (const uint32_t r : rows) {
            for (size_t i = 0; i < columns_.size(); ++i) cells[i] = Text(r, static_cast<int>(i));
            line(cells);
        }
        out.close();
        if (!out) throw DbfError(ErrorKind::Io, "Nu pot scrie fisierul " + path + ".");
    }

  private:
    const Cell& CellAt(uint32_t row, int column) const {
        static const Cell kEmpty;
        const auto at = static_cast<size_t>(columns_[static_cast<size_t>(column)].column);
        const std::vector<Cell>& cells = rows_[row];
        return at < cells.size() ? cells[at] : kEmpty;
    }

    std::vector<ColumnField> columns_;
    std::vector<std::vector<Cell>> rows_;
    std::vector<long> rowNumbers_;
};

}  // namespace

ValueClass ClassOf(FieldKind a, FieldKind b) {
    const auto has = [&](FieldKind k) { return a == k || b == k; };
    if (has(FieldKind::Date)) return ValueClass::Date;
    if (has(FieldKind::Number)) return ValueClass::Number;
    if (has(FieldKind::Logical)) return ValueClass::Logical;
    return ValueClass::Text;
}

void AppendFolded(std::string_view s, const TextOptions& o, std::string& out) {
    if (o.trim) s = Trim(s);
    if (o.Plain()) {
        out.append(s);
        return;
    }
    for (size_t i = 0; i < s.size();) {
        const char c = s[i];
        if (static_cast<unsigned char>(c) < 0x80) {
            ++i;
            // ASCII letters take the same codes as the others, so "A" and "Ă" fold alike.
            if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
                utf8::AppendCodePoint(out, FoldCodePoint(static_cast<char32_t>(c), o));
            else
                out += c;
            continue;
        }
        const long cp = utf8::NextCodePoint(s, i);
        if (cp < 0)
            out += '\xFF';  // a byte that is no character: equal only to the same
        else
            utf8::AppendCodePoint(out, FoldCodePoint(static_cast<char32_t>(cp), o));
    }
}

void CompareSource::WriteCsv(const std::vector<uint32_t>&, const std::string&) const {
    throw DbfError(ErrorKind::State, "Un tabel DBF nu se scrie ca CSV aici.");
}

int CompareSource::ColumnIndex(std::string_view name) const {
    const std::string folded = FoldedName(name);
    for (size_t i = 0; i < fields_.size(); ++i)
        if (folded_[2 * i] == folded || folded_[2 * i + 1] == folded) return static_cast<int>(i);
    return -1;
}

void CompareSource::FoldNames() {
    folded_.clear();
    for (size_t i = 0; i < fields_.size(); ++i) {
        folded_.push_back(FoldedName(names_[i]));
        folded_.push_back(FoldedName(fields_[i].name));
    }
}

std::unique_ptr<CompareSource> OpenCompareSource(const std::string& path,
                                                 const DbfOpenOptions& options,
                                                 const FormatSettings& format,
                                                 const SourceOptions& sourceOptions) {
    SourceKind kind;
    if (SourceKindOf(path, kind)) return std::make_unique<SheetSource>(path, sourceOptions, format);
    DbfOpenOptions read = options;
    read.checkProductionIndex = false;  // only read: a missing index file stops nothing
    return std::make_unique<DbfSource>(path, read, format);
}

}  // namespace orbelan
