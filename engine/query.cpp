#include "engine/query.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <random>
#include <variant>

#include "engine/dbf_file.h"
#include "engine/dbf_writer.h"
#include "engine/field_list.h"
#include "engine/file_io.h"
#include "engine/filter.h"
#include "engine/order_by.h"
#include "engine/rewrite.h"
#include "engine/sql_parser.h"
#include "engine/utf8_path.h"

namespace orbelan {
namespace {

[[noreturn]] void Fail(const std::string& what) {
    throw DbfError(ErrorKind::Sql, "Instructiune SQL incorecta: " + what);
}

int FieldOf(const DbfFile& file, const std::string& name) {
    const int i = file.FieldIndex(name);
    if (i < 0) Fail("campul " + name + " nu exista in tabelul " + file.Path() + ".");
    return i;
}

std::unique_ptr<FilterExpression> CompileWhere(const std::string& statement,
                                               const std::optional<SqlCondition>& where,
                                               const DbfFile& file, const FormatSettings& format) {
    if (!where) return nullptr;
    return FilterExpression::CompileCondition(statement, where->offset, where->text.size(),
                                              file.Layout(), file.Page(), format);
}

std::vector<uint32_t> MatchingRecords(const DbfFile& file, const FilterExpression* where) {
    std::vector<uint32_t> records;
    records.reserve(file.RecordCount());
    for (uint32_t i = 0; i < file.RecordCount(); ++i) {
        const uint8_t* rec = file.Record(i);
        if (rec[0] != '*' && (!where || where->Matches(rec))) records.push_back(i);
    }
    return records;
}

bool IsDBase3Type(char type) {
    return type == 'C' || type == 'N' || type == 'F' || type == 'D' || type == 'L' || type == 'M';
}

// A field definition to be laid out again: offsets and Visual FoxPro's _NullFlags bits are
// given anew; a nullable field stays nullable.
FieldDef Relaid(FieldDef def) {
    def.offset = 0;
    return def;
}

void RemoveQuietly(const std::string& path) {
    if (path.empty()) return;
    try {
        RemoveFile(path);
    } catch (const DbfError&) {
        // a leftover in the temporary folder is harmless
    }
}

// An index of the rows as they were would only mislead; the new header announces none, so an
// index file that can't be removed is left behind harmlessly.
std::string NewResultPath() {
    static std::mt19937 rng{std::random_device{}()};
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
    if (ec) folder = std::filesystem::current_path();
    for (;;) {
        char name[32];
        std::snprintf(name, sizeof name, "ORBQ%08X.DBF", static_cast<unsigned>(rng()));
        const std::string path = Utf8FromPath(folder / name);
        const std::string base = PathWithoutExtension(path);
        if (!FileExists(path) && !FileExists(base + ".DBT") && !FileExists(base + ".FPT"))
            return path;
    }
}

// ---- UPDATE

struct Assignment {
    int target = -1;
    int source = -1;  // a field of the same table, or -1 for a constant
    SqlValue value;
};

void Assign(DbfWriter& w, const Assignment& a, const FormatSettings& format) {
    w.SetText(a.target, a.value.kind == SqlValue::Kind::Null ? "" : a.value.text, format);
}

}  // namespace

std::string SqlQuoted(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"') out += '"';  // a doubled quote stands for one
    }
    return out + "\"";
}

Query::Query() = default;

Query::~Query() {
    AfterOpen = nullptr;
    AfterClose = nullptr;
    Close();
    RemoveResult();
}

void Query::ClearSql() {
    Close();
    RemoveResult();
    lines_.clear();
}

void Query::AddSql(const std::string& line) {
    lines_.push_back(line);
}

std::string Query::SqlText() const {
    std::string text;
    for (const std::string& line : lines_) {
        if (!text.empty()) text += ' ';
        text += line;
    }
    return text;
}

void Query::RemoveResult() {
    RemoveQuietly(resultPath_);
    RemoveQuietly(resultMemoPath_);
    resultPath_.clear();
    resultMemoPath_.clear();
}

void Query::ExecSQL() {
    const std::string statement = SqlText();
    const SqlStatement parsed = ParseSql(statement);
    if (std::holds_alternative<SqlSelect>(parsed))
        throw DbfError(ErrorKind::Sql,
                       "Instructiunea SELECT intoarce linii: se deschide, nu se executa.");
    Close();
    RemoveResult();
    if (auto* s = std::get_if<SqlDelete>(&parsed)) ExecDelete(statement, *s);
    if (auto* s = std::get_if<SqlAlterTable>(&parsed)) ExecAlter(*s);
    if (auto* s = std::get_if<SqlUpdate>(&parsed)) ExecUpdate(statement, *s);
    if (auto* s = std::get_if<SqlCreateTable>(&parsed)) ExecCreate(*s);
}

std::string Query::RewrittenTable() const {
    try {
        const SqlStatement parsed = ParseSql(SqlText());
        if (auto* s = std::get_if<SqlAlterTable>(&parsed)) return s->table;
        if (auto* s = std::get_if<SqlUpdate>(&parsed)) return s->table;
    } catch (const DbfError&) {
        // ExecSQL reports it
    }
    return {};
}

void Query::ExecDelete(const std::string& statement, const SqlDelete& s) {
    auto file = DbfFile::Open(s.table, FileOptionsOf(*this));
    const auto where = CompileWhere(statement, s.where, *file, Format());
    // The flags go to the file together, and to disk once.
    file->SetDeletedMany(MatchingRecords(*file, where.get()));
    file->Flush();
}

void Query::ExecAlter(const SqlAlterTable& s) {
    auto src = DbfFile::Open(s.table, FileOptionsOf(*this));
    std::vector<FieldDef> fields = src->Fields();
    const auto find = [&](const std::string& name) { return FindField(fields, name); };
    for (const SqlAlterAction& action : s.actions) {
        if (action.kind == SqlAlterAction::Kind::Add) {
            FieldDef def = ToFieldDef(action.column);
            if (find(def.name) >= 0)
                Fail("campul " + def.name + " exista deja in tabelul " + s.table + ".");
            fields.push_back(def);
        } else {
            const int at = find(action.column.name);
            if (at < 0)
                Fail("campul " + action.column.name + " nu exista in tabelul " + s.table + ".");
            fields.erase(fields.begin() + at);
        }
    }
    if (fields.empty()) Fail("tabelul " + s.table + " nu poate ramane fara coloane.");
    // A field added past what the format takes makes a table other programs can't read.
    const bool adds = std::any_of(s.actions.begin(), s.actions.end(), [](const SqlAlterAction& a) {
        return a.kind == SqlAlterAction::Kind::Add;
    });
    const DbfFamily family = src->Layout().family;
    long length = 1;
    for (const FieldDef& f : fields) length += f.size;
    if (adds && static_cast<int>(fields.size()) > MaxFieldCount(family))
        throw DbfError(ErrorKind::Conversion,
                       "Un tabel " + std::string(TableFormatTitle(family)) + " are cel mult " +
                           std::to_string(MaxFieldCount(family)) + " de campuri; " + s.table +
                           " ar avea " + std::to_string(fields.size()) + ".");
    if (adds && length > MaxRecordLength(family) && length > src->RecordLength())
        throw DbfError(ErrorKind::Conversion,
                       "Campurile lui " + s.table + " ar ocupa " + std::to_string(length) +
                           " octeti pe linie; un tabel " + TableFormatTitle(family) +
                           " are cel mult " + std::to_string(MaxRecordLength(family)) + ".");

    RewriteWithFields(*src, fields, Format(), FileOptionsOf(*this));
}

void Query::ExecUpdate(const std::string& statement, const SqlUpdate& s) {
    auto src = DbfFile::Open(s.table, FileOptionsOf(*this));
    std::vector<Assignment> assignments;
    for (const SqlAssignment& a : s.assignments) {
        Assignment x;
        x.target = FieldOf(*src, a.field);
        if (a.value.kind == SqlValue::Kind::Field) x.source = FieldOf(*src, a.value.text);
        x.value = a.value;
        assignments.push_back(std::move(x));
    }
    const auto where = CompileWhere(statement, s.where, *src, Format());
    const FormatSettings format = Format();
    // A field given another field's value goes through the field copier; a memo gets blocks of
    // its own, not the other field's: other programs rewrite a memo in place.
    std::vector<DbfWriter::FieldCopy> copies;
    for (const Assignment& a : assignments)
        if (a.source >= 0) copies.push_back({a.source, a.target});
    DbfWriter::CopyOptions copyOptions;
    copyOptions.keepsMemoBlocks = false;

    // A new file, so that a value that doesn't fit leaves the table as it was.
    RewritePlan plan;
    plan.fill = [&](const DbfFile& old, DbfWriter& w) {
        const size_t length = old.RecordLength();
        w.PlanCopy(old, copies, format, copyOptions);
        for (uint32_t r = 0; r < old.RecordCount(); ++r) {
            const uint8_t* rec = old.Record(r);
            w.BeginRow();
            std::memcpy(w.Row(), rec, length);
            if (rec[0] != '*' && (!where || where->Matches(rec))) {
                try {
                    if (!copies.empty()) w.CopyPlanned(rec);
                } catch (const DbfError& e) {
                    if (e.Kind() != ErrorKind::Conversion) throw;
                    throw DbfError(ErrorKind::Conversion, "Linia " + std::to_string(r + 1) + ": " +
                                                              e.what() +
                                                              " Tabelul nu a fost modificat.");
                }
                for (const Assignment& a : assignments) {
                    if (a.source >= 0) continue;
                    try {
                        Assign(w, a, format);
                    } catch (const DbfError& e) {
                        if (e.Kind() != ErrorKind::Conversion) throw;
                        throw DbfError(ErrorKind::Conversion, "Linia " + std::to_string(r + 1) +
                                                                  ": " + e.what() +
                                                                  " Tabelul nu a fost modificat.");
                    }
                }
            }
            w.EndRow();
        }
    };
    RewriteFile(*src, plan, FileOptionsOf(*this));
}

void Query::ExecCreate(const SqlCreateTable& s) {
    DbfWriter::Definition definition;
    definition.version = 0x03;
    definition.codePage = CodePageOverride().empty() ? DefaultCodePage() : CodePageOverride();
    for (const SqlColumnDef& c : s.columns) definition.fields.push_back(ToFieldDef(c));
    DbfWriter w(s.table, definition);
    w.Commit();
}

void Query::Open() {
    const std::string statement = SqlText();
    const SqlStatement parsed = ParseSql(statement);
    const auto* select = std::get_if<SqlSelect>(&parsed);
    if (select == nullptr)
        throw DbfError(ErrorKind::Sql,
                       "Doar o instructiune SELECT intoarce linii; aceasta se executa, nu se "
                       "deschide.");
    Close();
    RemoveResult();
    const SqlSelect& s = *select;
    auto src = DbfFile::Open(s.table, FileOptionsOf(*this));
    const auto where = CompileWhere(statement, s.where, *src, Format());

    bool counts = false;
    for (const SqlSelectItem& item : s.items) counts |= item.kind == SqlSelectItem::Kind::CountAll;
    const bool grouping = counts || !s.groupBy.empty();
    if (grouping && s.allColumns) Fail("SELECT * nu se poate folosi cu GROUP BY.");

    if (s.allColumns) {
        // The file's own rows in the wanted order: nothing is copied.
        std::vector<SortKey> keys;
        for (const SqlOrderItem& o : s.orderBy)
            keys.push_back({FieldOf(*src, o.field), o.descending});
        if (keys.empty() && !where) {
            OpenOver(std::move(src), true);
            return;
        }
        std::vector<uint32_t> order = MatchingRecords(*src, where.get());
        if (!keys.empty()) order = OrderRecords(*src, std::move(order), keys);
        OpenOver(std::move(src), true);
        SetRowOrder(std::move(order));
        return;
    }

    // Chosen columns or groups: a small result table in the temporary folder.
    std::vector<FieldDef> fields;
    std::vector<int> sources;  // source field, -1 for COUNT(*)
    bool dbase3 = true;
    for (const SqlSelectItem& item : s.items) {
        FieldDef def;
        int source = -1;
        if (item.kind == SqlSelectItem::Kind::CountAll) {
            def.name = item.alias.empty() ? "COUNT" : item.alias;
            def.type = 'N';
            def.size = 10;
        } else {
            source = FieldOf(*src, item.field);
            def = Relaid(src->Fields()[static_cast<size_t>(source)]);
            if (!item.alias.empty()) def.name = item.alias;
            // A null value needs a Visual FoxPro result to stay null.
            dbase3 &= IsDBase3Type(def.type) && src->FieldAt(source).nullBit < 0;
        }
        for (const FieldDef& other : fields)
            if (SameFieldName(other.name, def.name))
                Fail("coloana " + def.name + " apare de doua ori in rezultat.");
        fields.push_back(def);
        sources.push_back(source);
    }

    std::vector<uint32_t> records = MatchingRecords(*src, where.get());
    std::vector<int> groupFields;
    std::vector<SortKey> sourceKeys;
    if (grouping) {
        for (const std::string& g : s.groupBy) {
            groupFields.push_back(FieldOf(*src, g));
            sourceKeys.push_back({groupFields.back(), false});
        }
    } else {
        for (const SqlOrderItem& o : s.orderBy)
            sourceKeys.push_back({FieldOf(*src, o.field), o.descending});
    }
    if (!sourceKeys.empty()) records = OrderRecords(*src, std::move(records), sourceKeys);

    DbfWriter::Definition definition;
    definition.version = dbase3 ? 0x03 : VersionOf(src->Layout());
    definition.codePage = src->Page().Name();
    definition.fields = fields;
    const std::string path = NewResultPath();
    {
        DbfWriter w(path, definition);
        const FormatSettings& format = Format();
        std::vector<DbfWriter::FieldCopy> copies;
        for (size_t k = 0; k < fields.size(); ++k)
            if (sources[k] >= 0) copies.push_back({sources[k], static_cast<int>(k)});
        DbfWriter::CopyOptions copyOptions;
        copyOptions.unreadableMemoAsEmpty = true;  // reading stays possible without the memo file
        w.PlanCopy(*src, copies, format, copyOptions);
        const auto row = [&](uint32_t record, size_t count) {
            w.BeginRow();
            w.CopyPlanned(src->Record(record));
            for (size_t k = 0; k < fields.size(); ++k)
                if (sources[k] < 0) w.SetText(static_cast<int>(k), std::to_string(count), format);
            w.EndRow();
        };
        if (!grouping) {
            for (uint32_t r : records) row(r, 0);
        } else if (records.empty()) {
            if (groupFields.empty()) {  // COUNT(*) of nothing is one row holding 0
                w.BeginRow();
                for (size_t k = 0; k < fields.size(); ++k)
                    w.SetText(static_cast<int>(k), "0", format);
                w.EndRow();
            }
        } else {
            const std::vector<size_t> starts = GroupStarts(*src, records, groupFields);
            for (size_t g = 0; g < starts.size(); ++g) {
                const size_t end = g + 1 < starts.size() ? starts[g + 1] : records.size();
                row(records[starts[g]], end - starts[g]);
            }
        }
        resultPath_ = path;
        resultMemoPath_ = w.MemoPath();
        w.Commit();
    }
    src.reset();

    DbfOpenOptions options;
    options.codePageOverride = definition.codePage;
    options.checkProductionIndex = false;
    auto result = DbfFile::Open(path, options);
    std::vector<SortKey> keys;
    if (grouping)
        for (const SqlOrderItem& o : s.orderBy) {
            int at = result->FieldIndex(o.field);
            for (size_t k = 0; at < 0 && k < s.items.size(); ++k)
                if (SameFieldName(s.items[k].field, o.field)) at = static_cast<int>(k);
            if (at < 0) Fail("campul " + o.field + " nu exista in rezultat.");
            keys.push_back({at, o.descending});
        }
    if (keys.empty()) {
        OpenOver(std::move(result), true);
        return;
    }
    std::vector<uint32_t> order = OrderRecords(*result, MatchingRecords(*result, nullptr), keys);
    OpenOver(std::move(result), true);
    SetRowOrder(std::move(order));
}

}  // namespace orbelan
