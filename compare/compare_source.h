#pragma once
// One of the two tables a comparison or a fill reads: a DBF file, or a CSV file or workbook
// sheet read through the import's readers. Values come out in a typed form both tables share:
// a personal code stored as a number equals the same code kept as text, a date equals the same
// date written in any format, and texts are compared as UTF-8 whatever page each table keeps.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dbf_file.h"
#include "engine/field_def.h"
#include "engine/format_settings.h"
#include "engine/value_convert.h"
#include "importing/field_proposal.h"
#include "importing/import_source.h"

namespace orbelan {

// How the values of two matched columns are compared: as the stronger of their two kinds, so
// a date column against a text column reads the texts as dates.
enum class ValueClass : uint8_t { Text, Number, Date, Logical };
ValueClass ClassOf(FieldKind a, FieldKind b);

struct TextOptions {
    bool ignoreCase = false;
    bool ignoreDiacritics = false;
    bool trim = false;  // blanks at either end
    bool Plain() const { return !ignoreCase && !ignoreDiacritics; }
};

// utf8 as the options compare it, appended to out: letters of one case, Romanian and other
// accented letters as their base letter (ş and ș alike).
void AppendFolded(std::string_view utf8, const TextOptions& options, std::string& out);

class CompareSource {
  public:
    virtual ~CompareSource() = default;

    const std::string& Path() const { return path_; }
    // The columns as a DBF field (a CSV's and a workbook's: as the import proposes them).
    const std::vector<FieldDef>& Fields() const { return fields_; }
    // The names a user sees (a CSV's header as written).
    const std::vector<std::string>& Names() const { return names_; }
    int ColumnCount() const { return static_cast<int>(fields_.size()); }
    // The column of that name, letter case and diacritics ignored; -1 when there is none.
    int ColumnIndex(std::string_view name) const;

    virtual uint32_t Rows() const = 0;
    // A deleted row of a DBF: never compared.
    virtual bool Skipped(uint32_t row) const = 0;
    // The value's typed form (out replaced; empty for an empty value). Values of one class are
    // equal when their forms are.
    virtual void Canonical(uint32_t row, int column, ValueClass cls, const TextOptions& options,
                           std::string& out) const = 0;
    // The value as a user reads it (UTF-8).
    virtual std::string Text(uint32_t row, int column) const = 0;
    // The value converted for a field of a table in page `page`.
    virtual Converted ConvertFor(uint32_t row, int column, const FieldDef& target,
                                 const CodePage& page) const = 0;
    // How a user finds the row: its record number in a DBF, its line or sheet row otherwise.
    virtual long RowNumber(uint32_t row) const = 0;
    // The DBF file behind a DBF source, nullptr for the others.
    virtual const DbfFile* Dbf() const { return nullptr; }
    // Writes the rows (in that order) as a new table at path; texts in `codePage` when the
    // source has no page of its own. Returns the values that could not be written (left empty).
    virtual long WriteRows(const std::vector<uint32_t>& rows, const std::string& path,
                           const std::string& codePage) const = 0;
    // A CSV or workbook source's rows (in that order) as a UTF-8 CSV file with its header, the
    // cells as the import reads them back. DBF sources write tables (WriteRows).
    virtual void WriteCsv(const std::vector<uint32_t>& rows, const std::string& path) const;

  protected:
    std::string path_;
    std::vector<FieldDef> fields_;
    std::vector<std::string> names_;
    std::vector<std::string> folded_;  // FoldedName of names_ and fields_
    FormatSettings format_;
    void FoldNames();
};

// Opens a DBF (by its content, whatever its name) or, for the names the import takes (.csv
// .txt .xlsx .xls), reads the whole sheet. Throws DbfError (CannotOpen, Malformed) with the
// reader's message.
std::unique_ptr<CompareSource> OpenCompareSource(const std::string& path,
                                                 const DbfOpenOptions& options,
                                                 const FormatSettings& format,
                                                 const SourceOptions& sourceOptions = {});

}  // namespace orbelan
