#include "importing/import_table.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <optional>
#include <unordered_map>

#include "core/command_guard.h"
#include "core/messages.h"
#include "core/progress.h"
#include "core/replace_table.h"
#include "core/workspace.h"
#include "engine/dbf_file.h"
#include "engine/dbf_writer.h"
#include "engine/errors.h"
#include "engine/field_codec.h"
#include "engine/field_list.h"
#include "engine/file_io.h"
#include "engine/memo_file.h"
#include "engine/rewrite.h"
#include "engine/value_convert.h"

namespace orbelan {
namespace {

constexpr long kRowsPerStep = 1000;

bool AllEmpty(const std::vector<Cell>& row) {
    return std::all_of(row.begin(), row.end(),
                       [](const Cell& c) { return c.kind == CellKind::Empty; });
}

// Reads up to the first non-empty row: the header.
std::vector<Cell> ReadHeader(ImportSource& source) {
    source.Rewind();
    std::vector<Cell> row;
    while (source.Next(row))
        if (!AllEmpty(row)) return row;
    throw DbfError(ErrorKind::Malformed, "Sursa nu are niciun rand, nici macar capul de tabel.");
}

// Puts the imported cells of a row into a record of layout: each through the engine's own
// conversion, a value that can't go in listed and left empty.
class RowFiller {
  public:
    RowFiller(const DbfLayout& layout, const CodePage& page, std::vector<ColumnField> columns,
              std::vector<int> fields)
        : layout_(layout),
          page_(page),
          codec_(layout, page),
          columns_(std::move(columns)),
          fields_(std::move(fields)) {
        format_.decimalSeparator = '.';
    }

    // memo(i, text): stores memo field i's text (the writer does; a check only encodes it).
    template <typename Memo>
    void Fill(const std::vector<Cell>& row, int rowNumber, uint8_t* record, Misfits& misfits,
              Memo&& memo) {
        for (size_t i = 0; i < columns_.size(); ++i) {
            const ColumnField& c = columns_[i];
            const size_t col = static_cast<size_t>(c.column);
            if (col >= row.size()) continue;
            const Cell& cell = row[col];
            const FieldLayout& f = layout_.fields[static_cast<size_t>(fields_[i])];
            std::string why;
            if (!Put(cell, c, f, record, why,
                     [&](const std::string& text) { memo(fields_[i], text); }))
                misfits.Add({rowNumber, c.field.name, CellText(cell), why});
        }
    }

  private:
    template <typename Memo>
    bool Put(const Cell& cell, const ColumnField& c, const FieldLayout& f, uint8_t* record,
             std::string& why, Memo&& memo) {
        if (cell.kind == CellKind::Text &&
            cell.text.find(kReplacementCharacter) != std::string::npos) {
            why = "are octeti care nu sunt UTF-8 (aratati ca " +
                  std::string(kReplacementCharacter) + ")";
            return false;
        }
        // Text into a character field, the most common cell: straight to the table's bytes.
        if (f.def.type == 'C' && cell.kind == CellKind::Text)
            return PutChars(cell.text, f, record, why);
        if (!ReadCellFor(cell, c, value_, why)) return false;
        if (value_.empty) return true;
        if (f.def.type == 'C' && !value_.isDay) return PutChars(value_.text, f, record, why);
        try {
            if (value_.isDay) {
                codec_.SetDate(record, f, value_.day, format_);
                return true;
            }
            // The field's own limits: digits, a variable text's width, the code page.
            const Converted stored = ConvertText(value_.text, f.def, page_, format_);
            if (!stored.Ok()) {
                why = stored.reason;
                return false;
            }
            if (stored.text.empty()) return true;
            if (f.def.IsMemo()) {
                MemoFile::CheckStorable(layout_.memo, stored.text);
                memo(stored.text);
            } else {
                codec_.SetText(record, f, stored.text, format_);
            }
        } catch (const DbfError& e) {
            if (e.Kind() == ErrorKind::Io) throw;
            why = e.what();
            return false;
        }
        return true;
    }

    // Encoded once, and measured in the table's bytes: the codec would cut a longer text.
    bool PutChars(const std::string& text, const FieldLayout& f, uint8_t* record,
                  std::string& why) {
        bytes_.clear();
        try {
            page_.AppendEncoded(text, bytes_);
        } catch (const DbfError& e) {
            why = e.what();
            return false;
        }
        const size_t size = static_cast<size_t>(f.def.size);
        if (bytes_.size() > size) {
            why = "are " + std::to_string(bytes_.size()) + " caractere, campul tine " +
                  std::to_string(f.def.size);
            return false;
        }
        codec_.SetCharacterBytes(record, f, bytes_);
        return true;
    }

    const DbfLayout& layout_;
    const CodePage& page_;
    FieldCodec codec_;
    std::vector<ColumnField> columns_;
    std::vector<int> fields_;  // each column's field in layout_.fields
    FormatSettings format_;
    FieldValueText value_;
    std::string bytes_;
};

// Index in layout.fields of each visible field, in order.
std::vector<int> VisibleFields(const DbfLayout& layout) {
    std::vector<int> v;
    for (size_t i = 0; i < layout.fields.size(); ++i)
        if (!layout.fields[i].system) v.push_back(static_cast<int>(i));
    return v;
}

void Step(Progress* progress, long rows) {
    if (progress != nullptr && rows % kRowsPerStep == 0) {
        progress->ProgressSet(static_cast<int>(rows / kRowsPerStep));
        progress->ProcessMessages();
    }
}

// A run of the source's data rows through fill(row, rowNumber). Rows are numbered as the
// import window's preview numbers them: 1 is the first row below the header, empty rows don't
// count (the row's number in the new table, too).
template <typename Fill>
long EachDataRow(ImportSource& source, Progress* progress, Fill&& fill) {
    ReadHeader(source);
    std::vector<Cell> row;
    long rows = 0;
    while (source.Next(row)) {
        if (AllEmpty(row)) continue;
        fill(row, static_cast<int>(std::min<long>(rows + 1, INT_MAX)));
        Step(progress, ++rows);
    }
    return rows;
}

// A column as messages name it: its title, or its place when it has none.
std::string ColumnTitle(const std::vector<std::string>& header, size_t i) {
    return header[i].empty() ? "coloana " + std::to_string(i + 1) + " (fara nume)" : header[i];
}

// "A, B si C"; past kListedNames, "... si inca N".
std::string JoinedNames(const std::vector<std::string>& names, const char* last) {
    constexpr size_t kListedNames = 20;
    std::string list;
    const size_t shown = std::min(names.size(), kListedNames);
    for (size_t i = 0; i < shown; ++i)
        list += (i == 0 ? "" : i + 1 == shown && shown == names.size() ? last : ", ") + names[i];
    if (shown < names.size()) list += " si inca " + std::to_string(names.size() - shown);
    return list;
}

}  // namespace

ImportPreview PreviewSource(ImportSource& source, size_t keepRows, Progress* progress,
                            size_t maxColumns) {
    ImportPreview p;
    const std::vector<Cell> header = ReadHeader(source);
    const size_t columns = HeaderTexts(header).size();
    if (columns == 0)
        throw DbfError(ErrorKind::Malformed, "Capul de tabel al sursei nu are niciun nume.");
    // Before any work per column: a table takes no more fields than this.
    if (columns > maxColumns)
        throw DbfError(ErrorKind::Conversion, "Sursa are " + std::to_string(columns) +
                                                  " de coloane; un tabel DBF are cel mult " +
                                                  std::to_string(maxColumns) + " de campuri.");
    FieldGuesser guesser(header);
    p.header = guesser.Header();
    std::vector<Cell> row;
    while (source.Next(row)) {
        if (AllEmpty(row)) continue;
        guesser.Add(row);
        if (p.firstRows.size() < keepRows) p.firstRows.push_back(row);
        Step(progress, ++p.rows);
    }
    p.columns = guesser.Result();
    return p;
}

bool MayWriteNewTable(Messages& messages, const std::string& target) {
    return !FileExists(target) ||
           messages.Mesaj("Import", "Fisierul " + target + " exista. Il inlocuiti?",
                          mkConfirmation, mbYesNo) == mrYes;
}

ImportOutcome ImportToNewTable(ImportSource& source, const std::vector<ColumnField>& columns,
                               const std::string& target, const NewTableFormat& format,
                               const ConfirmMisfits& confirm, bool dryRun, Progress* progress) {
    DbfWriter::Definition def;
    def.version = NewTableVersionOf(format.family);
    def.codePage = format.codePage;
    for (const ColumnField& c : columns) {
        def.fields.push_back(c.field);
        if (const int fixed = FixedFieldSize(c.field.type, format.family))
            def.fields.back().size = fixed;
    }
    if (const FieldProblem p = CheckFieldList(def.fields, format.family))
        throw DbfError(ErrorKind::Conversion, p.text);
    ImportOutcome outcome;

    if (dryRun) {
        DbfLayout layout;
        layout.family = format.family;
        for (const FieldDef& d : def.fields) layout.fields.push_back(FieldLayout{d});
        LayoutNewTable(layout);
        const auto page = CodePage::Get(def.codePage);
        RowFiller filler(layout, *page, columns, VisibleFields(layout));
        std::string record(layout.recordLength, ' ');
        outcome.rows = EachDataRow(source, progress, [&](const std::vector<Cell>& row, int n) {
            filler.Fill(row, n, reinterpret_cast<uint8_t*>(record.data()), outcome.misfits,
                        [](int, const std::string&) {});
        });
        return outcome;
    }

    DbfWriter writer(target, def);  // a scratch file beside target; target untouched until Commit
    RowFiller filler(writer.Layout(), writer.Page(), columns, VisibleFields(writer.Layout()));
    const std::vector<int> visible = VisibleFields(writer.Layout());
    outcome.rows = EachDataRow(source, progress, [&](const std::vector<Cell>& row, int n) {
        writer.BeginRow();
        filler.Fill(row, n, writer.Row(), outcome.misfits, [&](int field, const std::string& t) {
            const int index = static_cast<int>(std::find(visible.begin(), visible.end(), field) -
                                               visible.begin());
            writer.SetMemo(index, t);
        });
        writer.EndRow();
    });
    if (outcome.misfits.count > 0 && !(confirm && confirm(outcome.misfits))) {
        writer.Abort();
        return outcome;
    }
    writer.Commit();
    outcome.written = true;
    return outcome;
}

ImportOutcome AppendFromSource(Workspace& ws, const std::string& path, const SourceOptions& options,
                               const ConfirmMisfits& confirm, const ChooseColumn& choose) {
    ws.PostPendingEdit();
    auto source = OpenImportSource(path, options);
    Table& table = ws.table;
    const ImportPreview preview =
        PreviewSource(*source, 0, nullptr,
                      std::max<size_t>(kMostFields, static_cast<size_t>(table.FieldCount())));

    ImportOutcome outcome;
    // Nothing to ask about a source without rows.
    if (preview.rows == 0) {
        ws.messages.Mesaj(
            "Lipire tabele",
            "Sursa " + path + " nu are niciun rand sub capul de tabel; tabelul a ramas cum era.",
            mkInformation, mbOK);
        outcome.nothingToAdd = true;
        return outcome;
    }

    // Each column to the field of the same name; the table keeps its own types.
    std::vector<int> target(preview.header.size(), -1);
    std::vector<std::string> unmatched;
    const std::vector<std::string> safe = DbfSafeNames(preview.header);
    std::unordered_map<std::string, int> byFolded;
    for (int f = 0; f < table.FieldCount(); ++f)
        byFolded.try_emplace(FoldedName(table.Field(f).name), f);
    for (size_t i = 0; i < preview.header.size(); ++i) {
        const auto it = byFolded.find(FoldedName(preview.header[i]));
        target[i] = it != byFolded.end() ? it->second : table.FieldIndex(safe[i]);
        if (target[i] < 0) unmatched.push_back(ColumnTitle(preview.header, i));
    }
    // Two columns that fold to one field ("NUME" and "Nume"): one of them, chosen, or nothing.
    std::vector<std::vector<size_t>> sharing(static_cast<size_t>(table.FieldCount()));
    for (size_t i = 0; i < target.size(); ++i)
        if (target[i] >= 0) sharing[static_cast<size_t>(target[i])].push_back(i);
    for (size_t f = 0; f < sharing.size(); ++f) {
        const std::vector<size_t>& same = sharing[f];
        if (same.size() < 2) continue;
        std::vector<std::string> titles;
        for (size_t i : same) titles.push_back(ColumnTitle(preview.header, i));
        const std::string& field = table.Field(static_cast<int>(f)).name;
        const int chosen = choose ? choose(field, titles) : -1;
        if (chosen < 0 || chosen >= static_cast<int>(same.size())) {
            if (!choose)
                ws.messages.Mesaj("Lipire tabele",
                                  "Coloanele " + JoinedNames(titles, " si ") +
                                      " din sursa merg in acelasi camp, " + field +
                                      "; nu stiu pe care sa o adaug.\rNu pot executa lipirea.",
                                  mkError, mbOK);
            return outcome;
        }
        for (size_t k = 0; k < same.size(); ++k)
            if (static_cast<int>(k) != chosen) target[same[k]] = -1;
    }
    std::vector<ColumnField> columns;
    for (size_t i = 0; i < target.size(); ++i) {
        if (target[i] < 0 || table.Field(target[i]).IsAutoIncrement()) continue;
        ColumnField c = preview.columns[i];
        c.field = table.Field(target[i]);
        columns.push_back(c);
    }
    if (columns.empty()) {
        ws.messages.Mesaj("Lipire tabele",
                          "Nicio coloana din " + path +
                              " nu are un camp cu acelasi nume in tabel." + "\r" +
                              "Nu pot executa lipirea.",
                          mkError, mbOK);
        return outcome;
    }
    if (!unmatched.empty() &&
        ws.messages.Mesaj("Lipire tabele",
                          "Coloanele acestea din sursa nu au camp in tabel si nu vor fi "
                          "adaugate:\r" +
                              JoinedNames(unmatched, ", ") + "\rContinuati?",
                          mkConfirmation, mbYesNo) != mrYes)
        return outcome;

    // The table's own layout checks the values before anything is rewritten.
    const DbfFile& data = table.Data();
    std::vector<int> fields;
    const std::vector<int> visible = VisibleFields(data.Layout());
    for (const ColumnField& c : columns)
        fields.push_back(visible[static_cast<size_t>(table.FieldIndex(c.field.name))]);
    {
        RowFiller check(data.Layout(), data.Page(), columns, fields);
        std::string record(data.Layout().recordLength, ' ');
        outcome.rows = EachDataRow(*source, nullptr, [&](const std::vector<Cell>& row, int n) {
            check.Fill(row, n, reinterpret_cast<uint8_t*>(record.data()), outcome.misfits,
                       [](int, const std::string&) {});
        });
    }
    if (outcome.misfits.count > 0 && !(confirm && confirm(outcome.misfits))) return outcome;

    CommandGuard guard(ws, {.bar = static_cast<int>(outcome.rows / kRowsPerStep),
                            .disableWindow = true,
                            .name = "Adauga date din alt tabel"});
    ReplaceAndReopen(ws, [&](const std::string& tablePath) {
        RewritePlan plan;
        plan.fill = [&](const DbfFile& old, DbfWriter& out) {
            out.AddRecordsOf(old);
            RowFiller filler(out.Layout(), out.Page(), columns, fields);
            Misfits ignored;  // the same as listed above
            EachDataRow(*source, &ws.progress, [&](const std::vector<Cell>& row, int n) {
                out.BeginRow();
                filler.Fill(row, n, out.Row(), ignored, [&](int field, const std::string& t) {
                    const int index = static_cast<int>(
                        std::find(visible.begin(), visible.end(), field) - visible.begin());
                    out.SetMemo(index, t);
                });
                out.NumberRow();
                out.EndRow();
            });
        };
        RewriteTableFile(tablePath, FileOptionsOf(table), plan);
    });
    guard.Finish();
    outcome.written = true;
    if (table.Active()) table.Last();
    ws.window.SetRowCounter(std::to_string(table.RecordCount()));
    return outcome;
}

}  // namespace orbelan
