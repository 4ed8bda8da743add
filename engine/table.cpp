#include "engine/table.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <map>

#include "engine/codepage.h"
#include "engine/date_util.h"
#include "engine/dbf_file.h"
#include "engine/dbf_writer.h"
#include "engine/field_codec.h"
#include "engine/field_value.h"
#include "engine/filter.h"
#include "engine/rewrite.h"

namespace orbelan {
namespace {

// Visible rows are found this many records at a time, so the first screen of a huge table
// costs almost nothing.
constexpr uint32_t kScanStep = 4096;

const HeaderInfo& EmptyHeader() {
    static const HeaderInfo empty;
    return empty;
}

bool IsMemoField(const FieldDef& d) {
    return d.IsMemo() && !(d.type == 'B' && d.size == 8);
}

}  // namespace

struct Table::Impl {
    // options
    std::string tableName;
    std::string defaultCodePage = "cp1250";
    std::string codePageOverride;
    FormatSettings format;

    // the open file
    std::unique_ptr<DbfFile> file;
    bool readOnly = false;
    State state = State::Inactive;

    // rows: the source sequence is the file order, or `order` when one is set
    bool customOrder = false;
    std::vector<uint32_t> order;
    std::vector<uint32_t> visible;  // physical records of the visible rows found so far
    size_t scanPos = 0;             // next position of the source sequence to look at

    // filter
    std::string filterText;
    bool filtered = false;
    std::unique_ptr<FilterExpression> filter;

    // cursor
    int current = -1;
    bool eof = true;
    bool bof = true;

    // edit buffer
    std::string buffer;
    int64_t editRecord = -1;
    bool modified = false;
    std::map<int, std::string> pendingMemos;  // field -> bytes in the table's code page
    std::string scratch;                      // reused copy of a record being changed
    std::string blank;                        // an empty record of this table

    // observers
    std::vector<TableObserver*> observers;
    int disabled = 0;

    size_t SourceLength() const { return customOrder ? order.size() : file->RecordCount(); }
    uint32_t SourceAt(size_t k) const { return customOrder ? order[k] : static_cast<uint32_t>(k); }

    bool Passes(uint32_t record) const {
        const uint8_t* rec = file->Record(record);
        if (rec[0] == '*') return false;
        return !filter || filter->Matches(rec);
    }

    // Another program may have shortened the file: asked once per step, so a scan costs one
    // stat per few thousand rows, and rows read from lost pages are never shown.
    void ScanMore(size_t wanted) {
        const size_t end = SourceLength();
        if (scanPos < end && visible.size() < wanted) file->CheckIntact();
        while (scanPos < end && visible.size() < wanted) {
            const size_t stop = std::min(end, scanPos + kScanStep);
            const size_t from = scanPos;
            const size_t before = visible.size();
            for (; scanPos < stop; ++scanPos) {
                const uint32_t r = SourceAt(scanPos);
                if (Passes(r)) visible.push_back(r);
            }
            try {
                file->CheckReads();
            } catch (const DbfError&) {
                visible.resize(before);  // these rows may be zeros read in place of lost pages
                scanPos = from;
                throw;
            }
        }
    }
    bool HasRow(int row) {
        if (row < 0) return false;
        if (static_cast<size_t>(row) < visible.size()) return true;
        ScanMore(static_cast<size_t>(row) + 1);
        return static_cast<size_t>(row) < visible.size();
    }
    int CountAll() {
        ScanMore(SIZE_MAX);
        return static_cast<int>(visible.size());
    }
    void ResetRows() {
        visible.clear();
        scanPos = 0;
    }
    // The rows are listed anew (order, filter or file changed) and the first becomes current.
    void RestartAtFirstRow();

    bool Editing() const { return state == State::Edit || state == State::Insert; }
    int InsertRow() const { return state == State::Insert ? current : -1; }

    template <typename F>
    void Notify(F&& f) {
        if (disabled > 0) return;  // EnableControls sends one DataReset instead
        for (TableObserver* o : std::vector<TableObserver*>(observers)) f(*o);
    }
    void NotifyReset() {
        Notify([](TableObserver& o) { o.DataReset(); });
    }
    void NotifyCursor() {
        const int row = current;
        Notify([row](TableObserver& o) { o.CursorMoved(row); });
    }

    const uint8_t* CurrentBytes() const {
        if (Editing()) return reinterpret_cast<const uint8_t*>(buffer.data());
        if (current < 0) return nullptr;
        return file->Record(visible[static_cast<size_t>(current)]);
    }
    std::string ValueText(const uint8_t* rec, int field, bool fromBuffer) const {
        if (fromBuffer) {
            auto it = pendingMemos.find(field);
            if (it != pendingMemos.end()) return file->Page().Decode(it->second);
        }
        return file->Text(rec, field, format);
    }
    void RequireWritable() const {
        if (readOnly)
            throw DbfError(ErrorKind::State, "Rezultatul interogarii poate fi doar citit.");
    }
    void NotifyRowChanged() {
        const int row = current;
        Notify([row](TableObserver& o) { o.RowChanged(row); });
    }

    // Applies a change to a copy of the current values, so a value the field can't take changes
    // nothing, then makes the copy the edit buffer. A row already being edited is changed in
    // place: the codec's setters check a value before they write any byte of it.
    template <typename F>
    void ChangeField(Table& t, int field, F&& apply) {
        t.Field(field);
        RequireWritable();
        if (Editing()) {
            apply(reinterpret_cast<uint8_t*>(buffer.data()), file->FieldAt(field));
            modified = true;
            NotifyRowChanged();
            return;
        }
        const uint8_t* rec = CurrentBytes();
        if (rec == nullptr) throw DbfError(ErrorKind::State, "Tabelul nu are nicio linie curenta.");
        scratch.assign(reinterpret_cast<const char*>(rec), file->RecordLength());
        apply(reinterpret_cast<uint8_t*>(scratch.data()), file->FieldAt(field));
        if (!Editing()) t.Edit();
        buffer.swap(scratch);
        modified = true;
        NotifyRowChanged();
    }

    // Memo values wait beside the buffer until Post writes them to the memo file.
    bool SetMemoIfMemo(Table& t, int field, std::string_view text) {
        if (!IsMemoField(t.Field(field))) return false;
        RequireWritable();
        if (CurrentBytes() == nullptr)
            throw DbfError(ErrorKind::State, "Tabelul nu are nicio linie curenta.");
        std::string bytes = file->Page().Encode(text);  // unencodable text fails before any change
        if (!Editing()) t.Edit();
        pendingMemos[field] = std::move(bytes);
        modified = true;
        NotifyRowChanged();
        return true;
    }
};

void Table::Impl::RestartAtFirstRow() {
    ResetRows();
    current = HasRow(0) ? 0 : -1;
    eof = current < 0;
    bof = true;
    NotifyReset();
    NotifyCursor();
}

Table::Table() : d_(std::make_unique<Impl>()) {}

Table::~Table() {
    if (d_ && d_->file) {
        d_->state = State::Browse;
        d_->file.reset();
    }
}

// ---------------------------------------------------------------- naming and options

static void RequireClosed(const Table& t, const char* what) {
    if (t.Active())
        throw DbfError(ErrorKind::State,
                       std::string("Tabelul trebuie inchis inainte de a-i schimba ") + what + ".");
}

void Table::SetTableName(const std::string& path) {
    RequireClosed(*this, "numele");
    d_->tableName = path;
}
const std::string& Table::TableName() const {
    return d_->tableName;
}
void Table::SetDefaultCodePage(const std::string& name) {
    CodePage::Get(name);  // an unknown name fails here, not at the next open
    d_->defaultCodePage = name;
}
void Table::SetCodePageOverride(const std::string& name) {
    if (!name.empty()) CodePage::Get(name);
    d_->codePageOverride = name;
}
const std::string& Table::DefaultCodePage() const {
    return d_->defaultCodePage;
}
const std::string& Table::CodePageOverride() const {
    return d_->codePageOverride;
}
void Table::SetFormatSettings(const FormatSettings& settings) {
    d_->format = settings;
}
const FormatSettings& Table::Format() const {
    return d_->format;
}

// ---------------------------------------------------------------- open and close

void Table::Open() {
    if (Active()) return;
    if (d_->tableName.empty())
        throw DbfError(ErrorKind::CannotOpen, "Nu a fost ales niciun tabel de deschis.");
    DbfOpenOptions options;
    options.defaultCodePage = d_->defaultCodePage;
    options.codePageOverride = d_->codePageOverride;
    OpenOver(DbfFile::Open(d_->tableName, options), false);
}

void Table::OpenOver(std::unique_ptr<DbfFile> file, bool readOnly) {
    if (Active()) Close();
    Impl& d = *d_;
    d.file = std::move(file);
    d.blank.clear();
    d.readOnly = readOnly;
    d.state = State::Browse;
    d.customOrder = false;
    d.order.clear();
    d.ResetRows();
    d.filter.reset();
    if (d.filtered && !d.filterText.empty()) {
        try {
            d.filter =
                FilterExpression::Compile(d.filterText, d.file->Layout(), d.file->Page(), d.format);
        } catch (...) {
            d.filtered = false;  // a filter that no longer fits the table is dropped
        }
    }
    d.current = -1;
    d.eof = d.bof = true;
    if (d.HasRow(0)) {
        d.current = 0;
        d.eof = false;
    }
    if (AfterOpen) AfterOpen(*this);
    d.NotifyReset();
    d.NotifyCursor();
}

void Table::Close() {
    Impl& d = *d_;
    if (!d.file) return;
    d.state = State::Browse;
    d.pendingMemos.clear();
    std::exception_ptr failure;
    try {
        d.file->FlushAppends();
    } catch (const DbfError&) {
        failure = std::current_exception();
    }
    d.file.reset();
    d.state = State::Inactive;
    d.ResetRows();
    d.order.clear();
    d.customOrder = false;
    d.filter.reset();
    d.current = -1;
    d.eof = d.bof = true;
    if (AfterClose) AfterClose(*this);
    d.NotifyReset();
    d.NotifyCursor();
    if (failure) std::rethrow_exception(failure);
}

bool Table::Active() const {
    return d_->file != nullptr;
}
const HeaderInfo& Table::Header() const {
    return d_->file ? d_->file->Info() : EmptyHeader();
}
DbfFile* Table::File() const {
    return d_->file.get();
}

static void RequireActive(const Table& t) {
    if (!t.Active()) throw DbfError(ErrorKind::State, "Nu este deschis niciun tabel.");
}

// ---------------------------------------------------------------- structure

int Table::FieldCount() const {
    return d_->file ? d_->file->FieldCount() : 0;
}

const FieldDef& Table::Field(int index) const {
    RequireActive(*this);
    if (index < 0 || index >= FieldCount())
        throw DbfError(ErrorKind::State,
                       "Tabelul nu are campul cu numarul " + std::to_string(index) + ".");
    return d_->file->Fields()[static_cast<size_t>(index)];
}

int Table::FieldIndex(std::string_view name) const {
    return d_->file ? d_->file->FieldIndex(name) : -1;
}

int Table::FieldIndexOrThrow(std::string_view name) const {
    RequireActive(*this);
    const int i = FieldIndex(name);
    if (i < 0)
        throw DbfError(ErrorKind::State, "Campul " + std::string(name) + " nu exista in tabelul " +
                                             d_->file->Path() + ".");
    return i;
}

// ---------------------------------------------------------------- rows and cursor

void Table::SetRowOrder(std::vector<uint32_t> records) {
    RequireActive(*this);
    Impl& d = *d_;
    d.customOrder = true;
    d.order = std::move(records);
    d.RestartAtFirstRow();
}

void Table::ClearRowOrder() {
    RequireActive(*this);
    Impl& d = *d_;
    d.customOrder = false;
    d.order.clear();
    d.RestartAtFirstRow();
}

int Table::RecordCount() {
    if (!Active()) return 0;
    return d_->CountAll() + (d_->state == State::Insert ? 1 : 0);
}

bool Table::IsEmpty() {
    return RecordCount() == 0;
}

static void RequireBrowse(Table::State state) {
    if (state == Table::State::Edit || state == Table::State::Insert)
        throw DbfError(
            ErrorKind::State,
            "Linia modificata trebuie salvata sau anulata inainte de a trece la alta linie.");
}

void Table::First() {
    RequireActive(*this);
    RequireBrowse(d_->state);
    Impl& d = *d_;
    d.file->CheckIntact();
    d.current = d.HasRow(0) ? 0 : -1;
    d.eof = d.current < 0;
    d.bof = true;
    d.NotifyCursor();
}

void Table::Next() {
    RequireActive(*this);
    RequireBrowse(d_->state);
    Impl& d = *d_;
    d.file->CheckReads();
    if (d.current >= 0 && d.HasRow(d.current + 1)) {
        ++d.current;
        d.bof = false;
        d.NotifyCursor();
    } else {
        d.eof = true;
    }
}

void Table::Prior() {
    RequireActive(*this);
    RequireBrowse(d_->state);
    Impl& d = *d_;
    if (d.current > 0) {
        --d.current;
        d.eof = false;
        d.NotifyCursor();
    } else {
        d.bof = true;
    }
}

void Table::Last() {
    RequireActive(*this);
    RequireBrowse(d_->state);
    Impl& d = *d_;
    d.file->CheckIntact();
    const int n = d.CountAll();
    d.current = n - 1;
    d.eof = true;
    d.bof = n == 0;
    d.NotifyCursor();
}

bool Table::Eof() const {
    return !Active() || d_->eof;
}
bool Table::Bof() const {
    return !Active() || d_->bof;
}
int Table::RecNo() const {
    return Active() && d_->current >= 0 ? d_->current + 1 : 0;
}
int Table::CurrentRow() const {
    return Active() ? d_->current : -1;
}

void Table::MoveTo(int row) {
    RequireActive(*this);
    Impl& d = *d_;
    if (row == d.current) return;
    RequireBrowse(d.state);
    d.file->CheckIntact();
    if (!d.HasRow(row))
        throw DbfError(ErrorKind::State, "Linia " + std::to_string(row + 1) + " nu exista.");
    d.current = row;
    d.eof = d.bof = false;
    d.NotifyCursor();
}

int64_t Table::PhysicalRecNo() const {
    const Impl& d = *d_;
    if (!d.file || d.current < 0 || d.state == State::Insert) return -1;
    return d.visible[static_cast<size_t>(d.current)];
}

Bookmark Table::GetBookmark() const {
    return PhysicalRecNo();
}

bool Table::GotoBookmark(Bookmark bookmark) {
    RequireActive(*this);
    RequireBrowse(d_->state);
    Impl& d = *d_;
    if (bookmark < 0) return false;
    const auto target = static_cast<uint32_t>(bookmark);
    int found = -1;
    if (!d.customOrder) {
        // File order: the visible rows are ascending, so look only as far as needed.
        while (d.visible.empty() || d.visible.back() < target) {
            const size_t before = d.visible.size();
            d.ScanMore(before + kScanStep);
            if (d.visible.size() == before) break;
        }
        auto it = std::lower_bound(d.visible.begin(), d.visible.end(), target);
        if (it != d.visible.end() && *it == target)
            found = static_cast<int>(it - d.visible.begin());
    } else {
        d.CountAll();
        auto it = std::find(d.visible.begin(), d.visible.end(), target);
        if (it != d.visible.end()) found = static_cast<int>(it - d.visible.begin());
    }
    if (found < 0) return false;
    d.current = found;
    d.eof = d.bof = false;
    d.NotifyCursor();
    return true;
}

// ---------------------------------------------------------------- values

std::string Table::AsText(int field) const {
    RequireActive(*this);
    Field(field);
    const uint8_t* rec = d_->CurrentBytes();
    if (rec == nullptr) return {};
    // A value read from a page lost to another program is reported by the next move (Next,
    // MoveTo, ...), which keeps the check out of this per-value path.
    return d_->ValueText(rec, field, d_->Editing());
}

std::string Table::AsText(std::string_view name) const {
    return AsText(FieldIndexOrThrow(name));
}

int64_t Table::AsInteger(int field) const {
    const FieldDef& def = Field(field);
    const uint8_t* rec = d_->CurrentBytes();
    if (rec == nullptr) return 0;
    if (def.type == 'D') {
        const FieldValue v = FieldReader(d_->file->Layout(), d_->file->FieldAt(field)).Read(rec);
        if (v.kind == ValueKind::Date) return v.day;
    }
    const std::string text = AsText(field);
    if (text.empty()) return 0;
    if (def.type == 'L') return text == "True" ? 1 : 0;
    auto canon = CanonicalNumber(text, d_->format.decimalSeparator);
    if (!canon || canon->empty())
        throw DbfError(ErrorKind::Conversion, "Valoarea '" + text + "' din campul " + def.name +
                                                  " nu este un numar intreg.");
    const double v = std::strtod(canon->c_str(), nullptr);
    if (std::fabs(v) > 9.2e18)
        throw DbfError(ErrorKind::Conversion,
                       "Valoarea " + text + " din campul " + def.name + " este prea mare.");
    return canon->find('.') == std::string::npos ? std::strtoll(canon->c_str(), nullptr, 10)
                                                 : static_cast<int64_t>(std::trunc(v));
}

bool Table::IsNull(int field) const {
    Field(field);
    const Impl& d = *d_;
    const uint8_t* rec = d.CurrentBytes();
    if (rec == nullptr) return true;
    if (d.Editing()) {
        auto it = d.pendingMemos.find(field);
        if (it != d.pendingMemos.end()) return it->second.empty();
    }
    return d.file->IsEmpty(rec, field);
}

std::string Table::TextAt(int row, int field) {
    RequireActive(*this);
    Impl& d = *d_;
    if (field < 0 || field >= FieldCount()) return {};
    if (row == d.current && d.Editing())
        return d.ValueText(reinterpret_cast<const uint8_t*>(d.buffer.data()), field, true);
    if (!d.HasRow(row)) return {};
    d.file->CheckIntact();
    std::string text =
        d.file->Text(d.file->Record(d.visible[static_cast<size_t>(row)]), field, d.format);
    d.file->CheckReads();
    return text;
}

const uint8_t* Table::RecordAt(int row) {
    RequireActive(*this);
    Impl& d = *d_;
    if (row == d.current && d.Editing()) return reinterpret_cast<const uint8_t*>(d.buffer.data());
    if (!d.HasRow(row)) return nullptr;
    d.file->CheckReads();
    return d.file->Record(d.visible[static_cast<size_t>(row)]);
}

const DbfFile& Table::Data() const {
    RequireActive(*this);
    return *d_->file;
}

// ---------------------------------------------------------------- editing

Table::State Table::GetState() const {
    return d_->state;
}
bool Table::Modified() const {
    return d_->modified;
}

void Table::Edit() {
    RequireActive(*this);
    Impl& d = *d_;
    if (d.Editing()) return;
    d.RequireWritable();
    if (d.current < 0) throw DbfError(ErrorKind::State, "Tabelul nu are nicio linie de modificat.");
    d.file->CheckIntact();
    d.editRecord = d.visible[static_cast<size_t>(d.current)];
    const uint8_t* rec = d.file->Record(static_cast<uint32_t>(d.editRecord));
    d.buffer.assign(reinterpret_cast<const char*>(rec), d.file->RecordLength());
    d.pendingMemos.clear();
    d.modified = false;
    d.state = State::Edit;
}

void Table::Append() {
    RequireActive(*this);
    Impl& d = *d_;
    d.RequireWritable();
    if (d.Editing()) Post();
    const int n = d.CountAll();
    if (d.blank.size() != d.file->RecordLength()) {
        d.blank.assign(d.file->RecordLength(), ' ');
        d.file->Codec().BlankRecord(reinterpret_cast<uint8_t*>(d.blank.data()));
    }
    d.buffer = d.blank;
    d.pendingMemos.clear();
    d.modified = false;
    d.editRecord = -1;
    d.state = State::Insert;
    d.current = n;
    d.eof = d.bof = false;
    d.Notify([n](TableObserver& o) { o.RowsInserted(n, 1); });
    d.NotifyCursor();
}

void Table::Post() {
    RequireActive(*this);
    Impl& d = *d_;
    if (!d.Editing()) return;
    if (d.state == State::Edit && !d.modified && d.pendingMemos.empty()) {
        d.state = State::Browse;  // nothing changed: the file is not touched
        if (AfterPost) AfterPost(*this);
        return;
    }
    std::string record = d.buffer;
    auto* rec = reinterpret_cast<uint8_t*>(record.data());
    for (const auto& [field, bytes] : d.pendingMemos) {
        const uint32_t block = bytes.empty() ? 0 : d.file->WriteMemo(bytes);
        d.file->Codec().SetMemoBlock(rec, d.file->FieldAt(field), block);
    }
    if (d.state == State::Edit) {
        d.file->WriteRecord(static_cast<uint32_t>(d.editRecord), rec);
    } else {
        // While a command's loop has the grid frozen, rows go to the file in batches; the
        // batch is written at the latest when the grid follows the table again.
        const uint32_t phys = d.file->AppendRecord(rec, d.disabled > 0);
        d.visible.push_back(phys);
        d.scanPos = d.SourceLength();  // the new record is already in `visible`
    }
    d.state = State::Browse;
    d.pendingMemos.clear();
    d.modified = false;
    const int row = d.current;
    d.Notify([row](TableObserver& o) { o.RowChanged(row); });
    if (AfterPost) AfterPost(*this);
}

void Table::Cancel() {
    RequireActive(*this);
    Impl& d = *d_;
    if (!d.Editing()) return;
    const bool inserting = d.state == State::Insert;
    d.state = State::Browse;
    d.pendingMemos.clear();
    d.modified = false;
    const int row = d.current;
    if (inserting) {
        d.current = static_cast<int>(d.visible.size()) - 1;
        d.eof = d.current < 0;
        d.Notify([row](TableObserver& o) { o.RowsRemoved(row, 1); });
        d.NotifyCursor();
    } else {
        d.Notify([row](TableObserver& o) { o.RowChanged(row); });
    }
}

void Table::Delete() {
    RequireActive(*this);
    Impl& d = *d_;
    if (d.state == State::Insert) {
        Cancel();
        return;
    }
    if (d.state == State::Edit) Cancel();
    d.RequireWritable();
    if (d.current < 0) throw DbfError(ErrorKind::State, "Tabelul nu are nicio linie de sters.");
    const int row = d.current;
    d.file->SetDeleted(d.visible[static_cast<size_t>(row)], true);
    d.visible.erase(d.visible.begin() + row);
    d.Notify([row](TableObserver& o) { o.RowsRemoved(row, 1); });
    if (!d.HasRow(row)) {
        // The last row went: the one before it becomes current, and we are at the end.
        d.current = static_cast<int>(d.visible.size()) - 1;
        d.eof = true;
    }
    d.NotifyCursor();
}

void Table::SetText(int field, std::string_view text) {
    RequireActive(*this);
    if (d_->SetMemoIfMemo(*this, field, text)) return;
    const FieldCodec& codec = d_->file->Codec();
    const FormatSettings& fmt = d_->format;
    d_->ChangeField(*this, field,
                    [&](uint8_t* rec, const FieldLayout& f) { codec.SetText(rec, f, text, fmt); });
}

void Table::SetText(std::string_view name, std::string_view text) {
    SetText(FieldIndexOrThrow(name), text);
}

void Table::SetInteger(int field, int64_t value) {
    RequireActive(*this);
    if (d_->SetMemoIfMemo(*this, field, std::to_string(value))) return;
    const FieldCodec& codec = d_->file->Codec();
    const FormatSettings& fmt = d_->format;
    d_->ChangeField(*this, field, [&](uint8_t* rec, const FieldLayout& f) {
        codec.SetInteger(rec, f, value, fmt);
    });
}

void Table::SetFloat(int field, double value) {
    RequireActive(*this);
    std::string text = DoubleText(value);
    std::replace(text.begin(), text.end(), '.', d_->format.decimalSeparator);
    if (d_->SetMemoIfMemo(*this, field, text)) return;
    const FieldCodec& codec = d_->file->Codec();
    const FormatSettings& fmt = d_->format;
    d_->ChangeField(*this, field, [&](uint8_t* rec, const FieldLayout& f) {
        codec.SetDouble(rec, f, value, fmt);
    });
}

void Table::SetDate(int field, int dayNumber) {
    RequireActive(*this);
    if (d_->SetMemoIfMemo(*this, field, FormatDate(dayNumber, d_->format.shortDateFormat))) return;
    const FieldCodec& codec = d_->file->Codec();
    const FormatSettings& fmt = d_->format;
    d_->ChangeField(*this, field, [&](uint8_t* rec, const FieldLayout& f) {
        codec.SetDate(rec, f, dayNumber, fmt);
    });
}

void Table::SetNull(int field) {
    RequireActive(*this);
    if (d_->SetMemoIfMemo(*this, field, "")) return;
    const FieldCodec& codec = d_->file->Codec();
    d_->ChangeField(*this, field,
                    [&](uint8_t* rec, const FieldLayout& f) { codec.SetEmpty(rec, f); });
}

// ---------------------------------------------------------------- filter

void Table::SetFilterText(const std::string& expression) {
    d_->filterText = expression;
    if (d_->filtered && Active()) {
        d_->filtered = false;
        SetFiltered(true);
    }
}

const std::string& Table::FilterText() const {
    return d_->filterText;
}
bool Table::Filtered() const {
    return d_->filtered;
}

void Table::SetFiltered(bool on) {
    Impl& d = *d_;
    if (!Active()) {
        d.filtered = on;
        return;
    }
    RequireBrowse(d.state);
    if (!on && !d.filter) {  // already showing every row: the cursor stays where it is
        d.filtered = false;
        return;
    }
    std::unique_ptr<FilterExpression> compiled;
    if (on && !d.filterText.empty()) {
        try {
            compiled =
                FilterExpression::Compile(d.filterText, d.file->Layout(), d.file->Page(), d.format);
        } catch (...) {
            d.filtered = false;
            if (d.filter) {  // the rows of the previous filter must not stay on show
                d.filter.reset();
                d.RestartAtFirstRow();
            }
            throw;
        }
    }
    d.filtered = on;
    d.filter = std::move(compiled);
    d.RestartAtFirstRow();
}

// ---------------------------------------------------------------- locate

namespace {

// Compares one field of raw records with a value given as text, by the field's type: straight
// from the stored bytes where that is exact, through the text form otherwise.
class LocateMatcher {
  public:
    LocateMatcher(const DbfFile& file, int field, std::string_view text, const FormatSettings& fmt)
        : file_(file), field_(field), reader_(file.Layout(), file.FieldAt(field)), fmt_(fmt) {
        const char type = reader_.Type();
        if (type == 'C' || type == 'V') {
            kind_ = Kind::Bytes;
            try {
                key_ = file.Page().Encode(text);
            } catch (const DbfError&) {
                kind_ = Kind::Never;  // no stored value can hold a character the page lacks
            }
            if (type == 'V')
                while (!key_.empty() && (key_.back() == ' ' || key_.back() == '\0'))
                    key_.pop_back();
            return;
        }
        if (type == 'N' || type == 'F' || type == 'I' || type == 'B' || type == 'Y' ||
            type == 'O' || type == '+') {
            auto canon = CanonicalNumber(text, fmt.decimalSeparator);
            if (!canon || canon->empty()) {
                // Blanks find the empty values; other text ("***", "12a") what shows it.
                const bool blank = text.find_first_not_of(' ') == std::string_view::npos;
                kind_ = blank ? Kind::Empty : Kind::Text;
                key_ = text;
                return;
            }
            kind_ = Kind::Number;
            key_ = *canon;
            // A decimal of at most 15 significant digits is the only decimal that reads as its
            // double, so comparing doubles is exact then.
            size_t significant = 0;
            const size_t lead = key_.find_first_of("123456789");
            if (lead != std::string::npos)
                for (size_t i = lead; i < key_.size(); ++i) significant += key_[i] != '.';
            keyExact_ = significant <= 15;
            keyNumber_ = std::strtod(key_.c_str(), nullptr);
            return;
        }
        if (type == 'D') {
            kind_ = Kind::Date;
            const std::string_view t = text;
            if (t.find_first_not_of(' ') == std::string_view::npos) {
                day_.reset();
                return;
            }
            day_ = ParseDate(t, fmt.shortDateFormat);
            if (!day_ && t.size() == 8) day_ = ParseDate(t, "yyyyMMdd");
            if (!day_) {
                kind_ = Kind::Text;  // what a damaged date shows
                key_ = text;
            }
            return;
        }
        if (type == 'L') {
            std::string t(text);
            for (char& c : t) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            kind_ = Kind::Logical;
            if (t.empty())
                logical_ = -1;
            else if (t == "TRUE" || t == "T" || t == "Y" || t == "DA" || t == ".T.")
                logical_ = 1;
            else if (t == "FALSE" || t == "F" || t == "N" || t == "NU" || t == ".F.")
                logical_ = 0;
            else
                kind_ = Kind::Never;
            return;
        }
        kind_ = Kind::Text;
        key_ = text;
    }

    bool Matches(const uint8_t* rec) const {
        switch (kind_) {
            case Kind::Never:
                return false;
            case Kind::Empty: {
                const FieldValue v = reader_.Read(rec);
                return v.IsEmpty() || v.IsOverflow();  // both show as ""
            }
            case Kind::Bytes:
                return reader_.Text(rec) == key_;
            case Kind::Number: {
                const FieldValue v = reader_.Read(rec);
                if (v.kind != ValueKind::Number) return false;
                if (keyExact_ && v.exact) return v.number == keyNumber_;
                const std::string text =
                    file_.Text(rec, field_, FormatSettings{'.', fmt_.shortDateFormat});
                auto canon = CanonicalNumber(text);
                return canon && *canon == key_;
            }
            case Kind::Date: {
                const FieldValue v = reader_.Read(rec);
                if (!day_) return v.IsEmpty();
                return v.kind == ValueKind::Date && v.day == *day_;
            }
            case Kind::Logical: {
                const FieldValue v = reader_.Read(rec);
                if (logical_ < 0) return v.IsEmpty();
                return v.kind == ValueKind::Bool && v.flag == (logical_ == 1);
            }
            case Kind::Text:
                return file_.Text(rec, field_, fmt_) == key_;
        }
        return false;
    }

  private:
    enum class Kind { Never, Empty, Bytes, Number, Date, Logical, Text };
    const DbfFile& file_;
    int field_;
    FieldReader reader_;
    FormatSettings fmt_;
    Kind kind_ = Kind::Never;
    std::string key_;
    bool keyExact_ = false;
    double keyNumber_ = 0;
    int logical_ = -1;
    std::optional<int> day_;
};

}  // namespace

bool Table::Locate(std::string_view field, std::string_view text) {
    RequireActive(*this);
    Impl& d = *d_;
    if (d.Editing()) Post();
    const int index = FieldIndexOrThrow(field);
    const LocateMatcher matcher(*d.file, index, text, d.format);
    for (int row = 0; d.HasRow(row); ++row) {
        if (matcher.Matches(d.file->Record(d.visible[static_cast<size_t>(row)]))) {
            d.current = row;
            d.eof = d.bof = false;
            d.NotifyCursor();
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------- controls and observers

void Table::DisableControls() {
    ++d_->disabled;
}

void Table::EnableControls() {
    Impl& d = *d_;
    if (d.disabled == 0) return;
    if (--d.disabled > 0) return;
    std::exception_ptr failure;
    try {
        if (d.file) d.file->FlushAppends();
    } catch (const DbfError&) {
        failure = std::current_exception();
    }
    d.NotifyReset();
    d.NotifyCursor();
    if (failure) std::rethrow_exception(failure);
}

bool Table::ControlsDisabled() const {
    return d_->disabled > 0;
}

void Table::AddObserver(TableObserver* observer) {
    if (std::find(d_->observers.begin(), d_->observers.end(), observer) == d_->observers.end())
        d_->observers.push_back(observer);
}

void Table::RemoveObserver(TableObserver* observer) {
    auto& v = d_->observers;
    v.erase(std::remove(v.begin(), v.end(), observer), v.end());
}

// ---------------------------------------------------------------- maintenance

void Table::Pack() {
    RequireActive(*this);
    RequireBrowse(d_->state);
    d_->RequireWritable();
    const DbfFile& file = *d_->file;
    bool anyDeleted = false;
    for (uint32_t i = 0; i < file.RecordCount() && !anyDeleted; ++i) anyDeleted = file.IsDeleted(i);
    if (!anyDeleted) return;
    RewritePlan plan;
    plan.fill = [](const DbfFile& old, DbfWriter& out) {
        for (uint32_t i = 0; i < old.RecordCount(); ++i)
            if (!old.IsDeleted(i)) out.AddRecord(old.Record(i));
    };
    Rewrite(plan);
}

void Table::Rewrite(const RewritePlan& plan) {
    RequireActive(*this);
    Impl& d = *d_;
    RequireBrowse(d.state);
    d.RequireWritable();
    d.file->FlushAppends();
    DbfOpenOptions options;
    options.defaultCodePage = d.defaultCodePage;
    options.codePageOverride = d.codePageOverride;
    // On failure the old file is untouched and stays open.
    d.file = RewriteFile(*d.file, plan, options);
    d.blank.clear();
    d.customOrder = false;
    d.order.clear();
    d.filter.reset();
    if (d.filtered && !d.filterText.empty()) {
        try {
            d.filter =
                FilterExpression::Compile(d.filterText, d.file->Layout(), d.file->Page(), d.format);
        } catch (const DbfError&) {
            d.filtered = false;  // a filter that no longer fits the new structure is dropped
        }
    }
    d.RestartAtFirstRow();
}

void Table::Flush() {
    if (Active()) d_->file->Flush();
}

}  // namespace orbelan
