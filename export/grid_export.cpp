#include "export/grid_export.h"

#include "engine/dbf_file.h"

#include <algorithm>
#include <stdexcept>

namespace orbelan {
namespace {

bool IsNumeric(char type) {
    return type == 'N' || type == 'F' || type == 'I' || type == 'B' || type == 'Y' || type == '+' ||
           type == 'O';
}

// Length of the sample moment 12.12.1999 12:12:12.012 in a date/time format: every field of it
// takes two digits but the year and the milliseconds.
int SampleLength(const std::string& format) {
    int length = 0;
    for (size_t i = 0; i < format.size();) {
        const auto starts = [&](const char* token) {
            return format.compare(i, std::char_traits<char>::length(token), token) == 0;
        };
        if (starts("AMPM") || starts("ampm")) {
            length += 2;
            i += 4;
        } else if (starts("AM/PM") || starts("am/pm")) {
            length += 2;
            i += 5;
        } else if (starts("yyyy")) {
            length += 4;
            i += 4;
        } else if (starts("zzz")) {
            length += 3;
            i += 3;
        } else if (std::string("yMmdhHns").find(format[i]) != std::string::npos) {
            const char c = format[i];
            while (i < format.size() && format[i] == c) ++i;
            length += 2;
        } else {
            ++length;
            ++i;
        }
    }
    return length;
}

}  // namespace

void AppendGridCell(Table& t, const uint8_t* record, int field, std::string& text) {
    const size_t start = text.size();
    try {
        if (field < 0 || field >= t.FieldCount()) throw std::out_of_range("no field");
        if (record) t.Data().AppendText(text, record, field, t.Format());
    } catch (const std::exception&) {
        text.resize(start);
        text += ' ';
    }
}

int FieldAlignment(char type) {
    return IsNumeric(type) ? 2 : 1;
}

namespace {

// A field's name as text: stored in the table's own code page, like its values.
std::string FieldTitle(const Table& table, int field) {
    return table.Data().Page().Decode(table.Field(field).name);
}

}  // namespace

TovGrid GridOfTable(Table& table) {
    TovGrid grid;
    grid.table = &table;
    if (!table.Active()) return grid;
    for (int i = 0; i < table.FieldCount(); ++i) {
        const FieldDef& f = table.Field(i);
        grid.columns.push_back({i, FieldTitle(table, i), true, FieldAlignment(f.type)});
    }
    return grid;
}

TovDBGridExport::TovDBGridExport(orbelan::Messages& messages, ExportWindows& windows,
                                 Platform& platform)
    : TovCustomExport(messages, windows, platform) {
    Messages.Caption = "Export Grila";
}

const TovGridColumn* TovDBGridExport::Column(int i) const {
    if (i < 0 || i >= static_cast<int>(DBGrid.columns.size())) return nullptr;
    return &DBGrid.columns[static_cast<size_t>(i)];
}

void TovDBGridExport::PrepareSource() {
    Table& t = *DBGrid.table;
    bookmark_ = t.GetBookmark();
    t.DisableControls();
    // The walk reads a large table once: its pages need not stay in this program's memory.
    t.SetReleasingPagesWhileScanning(true);
    prepared_ = true;
}

void TovDBGridExport::RestoreSource() {
    if (!prepared_) return;
    prepared_ = false;
    Table& t = *DBGrid.table;
    t.SetReleasingPagesWhileScanning(false);
    if (t.Active() && bookmark_ >= 0) t.GotoBookmark(bookmark_);
    bookmark_ = -1;
    t.EnableControls();
}

void TovDBGridExport::FirstRecord() {
    Table& t = *DBGrid.table;
    t.First();
    readers_.clear();
    typedValues_.clear();  // none left over from an earlier run in another format
    if (!KeepsTypes()) return;
    for (const TovGridColumn& c : DBGrid.columns) {
        std::optional<FieldReader>& reader = readers_.emplace_back();
        if (c.field < 0 || c.field >= t.FieldCount()) continue;
        const FieldLayout& f = t.Data().FieldAt(c.field);
        if (!f.def.IsMemo() &&
            std::string_view("NFIBY+ODT@L").find(f.def.type) != std::string::npos)
            reader.emplace(t.Data().Layout(), f);
    }
}

std::string TovDBGridExport::DocumentName() const {
    if (DBGrid.table == nullptr) return {};
    std::string name = DBGrid.table->TableName();
    const auto slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const auto dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

std::string TovDBGridExport::ShownFilter() const {
    if (DBGrid.table == nullptr || !DBGrid.table->Active() || !DBGrid.table->Filtered()) return {};
    return DBGrid.table->FilterText();
}

std::string TovDBGridExport::DocumentFolder() const {
    if (DBGrid.table == nullptr) return {};
    const std::string& path = DBGrid.table->TableName();
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

int TovDBGridExport::GetColumnAlignment(int column) {
    const TovGridColumn* c = Column(column);
    return c ? c->alignment : 0;
}

bool TovDBGridExport::SourceReady() {
    return DBGrid.table != nullptr && DBGrid.table->Active();
}

bool TovDBGridExport::AllRecordsRead() {
    Table& t = *DBGrid.table;
    // The end of the table ends the export even where the count would say otherwise.
    return t.Eof() || t.RecordCount() == RecordsRead();
}

bool TovDBGridExport::IsColumnVisible(int column) {
    const TovGridColumn* c = Column(column);
    return c && c->visible;
}

bool TovDBGridExport::IsRecordSelected() {
    if (!DBGrid.rowSelect) return false;
    const Bookmark current = DBGrid.table->GetBookmark();
    return std::find(DBGrid.selectedRows.begin(), DBGrid.selectedRows.end(), current) !=
           DBGrid.selectedRows.end();
}

int TovDBGridExport::GetColumnWidth(int column) {
    const TovGridColumn* c = Column(column);
    if (!c) return 0;
    if (c->field < 0 || c->field >= DBGrid.table->FieldCount()) return 16;  // "** NECUNOSCUT **"
    const FieldDef& f = DBGrid.table->Field(c->field);
    switch (f.type) {
        case 'C':
        case 'V':
        case 'M':
            return f.size;
        case 'D':
            return SampleLength(DateFormat);
        case 'T':
        case '@':
            return SampleLength(DateTimeFormat);
        case 'L':
            return static_cast<int>(std::max(Messages.TrueText.size(), Messages.FalseText.size()));
        case 'N':
        case 'F':
        case 'I':
        case 'B':
        case 'Y':
        case '+':
        case 'O':
            return 15;
        case 'G':
        case 'P':
        case 'W':
            return 11;  // "** BINAR **"
        default:
            return 0;
    }
}

std::string TovDBGridExport::GetColumnCaption(int column) {
    const TovGridColumn* c = Column(column);
    if (!c) return {};
    if (!c->title.empty()) return c->title;
    if (c->field < 0 || c->field >= DBGrid.table->FieldCount()) return {};
    return FieldTitle(*DBGrid.table, c->field);
}

int TovDBGridExport::GetColumnCount() {
    return static_cast<int>(DBGrid.columns.size());
}

void TovDBGridExport::ReadRecord(TovValues& values) {
    Table& t = *DBGrid.table;
    values.resize(DBGrid.columns.size());
    const uint8_t* record = t.RecordAt(t.CurrentRow());  // nullptr past the last row
    for (size_t i = 0; i < DBGrid.columns.size(); ++i)
        ReadCell(record, DBGrid.columns[i].field, values[i]);
    if (!readers_.empty()) {
        typedValues_.resize(readers_.size());
        for (size_t i = 0; i < readers_.size(); ++i) ReadTyped(record, i, typedValues_[i]);
    }
    // A million rows would otherwise keep the whole table file in memory to the end.
    if (++readSinceRelease_ == 16384) {
        readSinceRelease_ = 0;
        t.ReleaseReadPages();
    }
    t.Next();
}

void TovDBGridExport::ReadCell(const uint8_t* record, int field,
                               std::optional<std::string>& value) {
    // Appended into the value's own buffer: once grown, a cell costs no allocation.
    std::string& text = value ? *value : value.emplace();
    text.clear();
    AppendGridCell(*DBGrid.table, record, field, text);
}

void TovDBGridExport::ReadTyped(const uint8_t* record, size_t column, TovTypedValue& value) const {
    value = {};
    const std::optional<FieldReader>& reader = readers_[column];
    if (!reader || !record) return;
    const FieldValue v = reader->Read(record);
    switch (v.kind) {
        case ValueKind::Empty:
        case ValueKind::Null:
            value.kind = TovTypedValue::Empty;
            return;
        case ValueKind::Number: {
            // Digits a double can't hold stay as stored, in a text cell.
            if (!v.exact) return;
            value.kind = TovTypedValue::Number;
            value.number = v.number;
            const char type = reader->Type();
            const int decimals = DBGrid.table->Field(DBGrid.columns[column].field).decimals;
            if (type == 'I' || type == '+')
                value.decimals = 0;
            else if (type == 'Y')
                value.decimals = 4;
            else if (type == 'N' || type == 'F' || decimals > 0)
                value.decimals = decimals;
            return;
        }
        case ValueKind::Date:
        case ValueKind::DateTime:
            // Spreadsheets count days wrongly before 1 March 1900 (day 61): those stay texts.
            if (v.day < 61) return;
            value.kind = v.kind == ValueKind::Date ? TovTypedValue::Date : TovTypedValue::DateTime;
            value.number = v.day + static_cast<double>(v.ms) / kMsPerDay;
            return;
        case ValueKind::Bool:
            value.kind = TovTypedValue::Logical;
            value.flag = v.flag;
            return;
        default:
            return;  // invalid stored characters: their text
    }
}

int TovDBGridExport::CountRecords() {
    // The table knows its visible rows; the walk leaves it where the engine expects it.
    Table& t = *DBGrid.table;
    const int count = t.RecordCount();
    t.First();
    return count;
}

}  // namespace orbelan
