#include "fuzz/targets.h"

#ifdef _WIN32
#include <filesystem>
#include <fstream>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/codepage.h"
#include "engine/dbf_header.h"
#include "engine/errors.h"
#include "engine/field_list.h"
#include "engine/filter.h"
#include "engine/memo_file.h"
#include "engine/sql_parser.h"
#include "engine/table.h"

namespace orbelan::fuzz {

#ifdef _WIN32
InputFile::InputFile(const char* name, const uint8_t* data, size_t size) {
    const auto path = std::filesystem::temp_directory_path() / name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (out) path_ = path.string();
}

InputFile::~InputFile() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove(path_, ec);
}
#else
InputFile::InputFile(const char* name, const uint8_t* data, size_t size) {
    fd_ = ::memfd_create(name, MFD_CLOEXEC);
    if (fd_ < 0) return;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd_, data + done, size - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    path_ = "/proc/self/fd/" + std::to_string(fd_);
}

InputFile::~InputFile() {
    if (fd_ >= 0) ::close(fd_);
}
#endif

void DbfInput(const uint8_t* data, size_t size) {
    const InputFile file("fuzz.dbf", data, size);
    if (file.Path().empty()) return;
    Table t;
    t.SetTableName(file.Path());
    try {
        t.Open();
        for (t.First(); !t.Eof(); t.Next())
            for (int f = 0; f < t.FieldCount(); ++f) (void)t.AsText(f);
        for (t.Last(); !t.Bof(); t.Prior()) (void)t.IsNull(0);
    } catch (const DbfError&) {
    }
}

namespace {

FieldDef Field(const char* name, char type, int size, int decimals, int offset) {
    FieldDef f;
    f.name = name;
    f.type = type;
    f.size = size;
    f.decimals = decimals;
    f.offset = offset;
    return f;
}

const std::vector<FieldDef> fields = {Field("NUME", 'C', 10, 0, 1), Field("SUMA", 'N', 8, 2, 11),
                                      Field("DATAN", 'D', 8, 0, 19), Field("ACTIV", 'L', 1, 0, 27)};
// Records of 28 bytes: deletion flag, NUME, SUMA, DATAN, ACTIV.
const std::string rows[] = {
    std::string(" IONEL        12.5020000101T"),
    std::string(" POP          -1.00        F"),
    std::string("*\xC8TEFAN    ********19991231?"),
    std::string(28, ' '),
    std::string(28, '\0'),
};

}  // namespace

void FilterInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const FormatSettings format;
    for (const bool sql : {false, true}) {
        try {
            const auto filter =
                FilterExpression::Compile(text, fields, *CodePage::Get("cp1250"), format, sql);
            for (const std::string& row : rows)
                (void)filter->Matches(reinterpret_cast<const uint8_t*>(row.data()));
        } catch (const DbfError&) {
        }
    }
}

void MemoInput(const uint8_t* data, size_t size) {
    if (size == 0) return;
    static constexpr MemoKind kinds[] = {MemoKind::Dbt3, MemoKind::Dbt4, MemoKind::Fpt};
    const MemoKind kind = kinds[data[0] % 3];
    const InputFile file("fuzz.memo", data + 1, size - 1);
    if (file.Path().empty()) return;
    try {
        const auto memo = MemoFile::Open(file.Path(), kind);
        for (uint32_t block = 0; block < 40; ++block) (void)memo->Read(block);
        (void)memo->Read(0xFFFFFFFFu);
        // A value appended to whatever the file holds reads back as it was written.
        const std::string value = "valoare\r\nnoua {\\rtf}";
        const uint32_t at = memo->Append(value);
        const MemoValue back = memo->Read(at);
        if (!back.ok || back.bytes != value) std::abort();
    } catch (const DbfError&) {
    }
}

void SqlInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const FormatSettings format;
    const CodePage& page = *CodePage::Get("cp1250");
    const auto match = [&](const std::optional<SqlCondition>& where) {
        if (!where) return;
        if (where->offset > text.size() || where->text.size() > text.size() - where->offset)
            std::abort();  // the condition must lie inside the statement
        const auto filter = FilterExpression::CompileCondition(
            text, where->offset, where->text.size(), fields, page, format);
        for (const std::string& row : rows)
            (void)filter->Matches(reinterpret_cast<const uint8_t*>(row.data()));
    };
    const auto columns = [](const std::vector<SqlColumnDef>& defs) {
        for (const SqlColumnDef& c : defs) {
            try {
                (void)ToFieldDef(c);
            } catch (const DbfError&) {
            }
        }
    };
    try {
        const SqlStatement statement = ParseSql(text);
        if (const auto* s = std::get_if<SqlSelect>(&statement)) {
            match(s->where);
        } else if (const auto* d = std::get_if<SqlDelete>(&statement)) {
            match(d->where);
        } else if (const auto* u = std::get_if<SqlUpdate>(&statement)) {
            match(u->where);
        } else if (const auto* c = std::get_if<SqlCreateTable>(&statement)) {
            columns(c->columns);
        } else if (const auto* a = std::get_if<SqlAlterTable>(&statement)) {
            for (const SqlAlterAction& action : a->actions)
                if (action.kind == SqlAlterAction::Kind::Add) columns({action.column});
        }
    } catch (const DbfError&) {
    }
}

void FieldListInput(const uint8_t* data, size_t size) {
    if (size == 0) return;
    static constexpr DbfFamily kFamilies[] = {DbfFamily::DBase3, DbfFamily::DBase4,
                                              DbfFamily::FoxPro, DbfFamily::VisualFoxPro};
    const DbfFamily family = kFamilies[data[0] % 4];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    std::vector<FieldDef> fields;
    try {
        fields = ParseFieldList(text, family);
    } catch (const FieldListError&) {
        return;
    }
    // What create takes, it writes: the same list from its own text, and a table's layout.
    const std::string written = FormatFieldList(fields);
    try {
        if (FormatFieldList(ParseFieldList(written, family)) != written) std::abort();
    } catch (const FieldListError&) {
        std::abort();
    }
    DbfLayout layout;
    layout.family = family;
    for (const FieldDef& f : fields) layout.fields.push_back(FieldLayout{f});
    try {
        LayoutNewTable(layout);
    } catch (const DbfError&) {
        std::abort();
    }
    if (layout.recordLength > MaxRecordLength(family)) std::abort();
}

}  // namespace orbelan::fuzz
