#include "engine/table.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "engine/date_util.h"
#include "engine/field_codec.h"
#include "engine/field_value.h"
#include "engine/table_impl.h"

namespace orbelan {
namespace {

const HeaderInfo& EmptyHeader() {
    static const HeaderInfo empty;
    return empty;
}

}  // namespace

using table_detail::RequireActive;
using table_detail::RequireBrowse;
using table_detail::WriteTurn;

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
void Table::SetIndexOptions(AttachedIndexLookup attached, IndexQuestion ask) {
    d_->attachedIndexes = std::move(attached);
    d_->askAboutIndex = std::move(ask);
}
DbfOpenOptions Table::OpenOptionsFor(const std::string& path) const {
    DbfOpenOptions options;
    options.defaultCodePage = d_->defaultCodePage;
    options.codePageOverride = d_->codePageOverride;
    if (d_->attachedIndexes && !path.empty()) options.attachedIndexes = d_->attachedIndexes(path);
    options.askAboutIndex = d_->askAboutIndex;
    return options;
}

// ---------------------------------------------------------------- open and close

void Table::Open() {
    if (Active()) return;
    if (d_->tableName.empty())
        throw DbfError(ErrorKind::CannotOpen, "Nu a fost ales niciun tabel de deschis.");
    OpenOver(DbfFile::Open(d_->tableName, OpenOptionsFor(d_->tableName)), false);
}

void Table::OpenOver(std::unique_ptr<DbfFile> file, bool readOnly) {
    if (Active()) Close();
    Impl& d = *d_;
    d.file = std::move(file);
    d.file->MarkOpen();
    d.blank.clear();
    d.readOnly = readOnly;
    d.state = State::Browse;
    d.customOrder = false;
    d.order.clear();
    d.ResetRows();
    d.filter.reset();
    if (d.filtered && !d.filterText.empty()) {
        try {
            d.filter = d.CompileFilter();
        } catch (...) {
            d.filtered = false;  // a filter that no longer fits the table is dropped
        }
    }
    d.PrepareSeek();
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

void Table::SetReleasingPagesWhileScanning(bool on) {
    d_->releasePages = on;
}

bool Table::ReleasingPagesWhileScanning() const {
    return d_->releasePages;
}

void Table::ReleaseReadPages() {
    if (d_->file) d_->file->ReleaseReadPages();
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
    d.read = d.buffer;
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
    WriteTurn turn(*d.file);
    // Another window may have written this row since it was read: its change is not overwritten.
    if (d.state == State::Edit && RawRecord(static_cast<uint32_t>(d.editRecord)) != d.read)
        throw DbfError(ErrorKind::Io,
                       "Linia " + std::to_string(d.editRecord + 1) +
                           " a fost schimbata intre timp de alta fereastra sau de alt program. "
                           "Modificarea nu a fost scrisa: apasati Esc, apoi F5 ca sa o cititi "
                           "din nou.");
    std::string record = d.buffer;
    auto* rec = reinterpret_cast<uint8_t*>(record.data());
    std::string before;
    if (d.state == State::Edit && AfterRecordWrite)
        before = RawRecord(static_cast<uint32_t>(d.editRecord));
    for (const auto& [field, bytes] : d.pendingMemos) {
        const uint32_t block = bytes.empty() ? 0 : d.file->WriteMemo(bytes);
        d.file->Codec().SetMemoBlock(rec, d.file->FieldAt(field), block);
    }
    uint32_t written = 0;
    if (d.state == State::Edit) {
        written = static_cast<uint32_t>(d.editRecord);
        d.file->WriteRecord(written, rec);
    } else {
        // While a command's loop has the grid frozen, rows go to the file in batches; the
        // batch is written at the latest when the grid follows the table again.
        written = d.file->AppendRecord(rec, d.disabled > 0);
        d.visible.push_back(written);
        d.scanPos = d.SourceLength();  // the new record is already in `visible`
    }
    if (AfterRecordWrite) AfterRecordWrite(*this, written, before, record);
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
    const uint32_t record = d.visible[static_cast<size_t>(row)];
    WriteTurn turn(*d.file);
    std::string before = AfterRecordWrite ? RawRecord(record) : std::string();
    d.file->SetDeleted(record, true);
    if (AfterRecordWrite) {
        std::string after = before;
        after[0] = '*';
        AfterRecordWrite(*this, record, before, after);
    }
    if (d.showDeleted) {  // it stays on show, marked
        d.NotifyRowChanged();
        return;
    }
    d.visible.erase(d.visible.begin() + row);
    d.Notify([row](TableObserver& o) { o.RowsRemoved(row, 1); });
    if (!d.HasRow(row)) {
        // The last row went: the one before it becomes current, and we are at the end.
        d.current = static_cast<int>(d.visible.size()) - 1;
        d.eof = true;
    }
    d.NotifyCursor();
}

std::string Table::RawRecord(uint32_t record) const {
    RequireActive(*this);
    const DbfFile& file = *d_->file;
    if (record >= file.RecordCount())
        throw DbfError(ErrorKind::State, "Linia " + std::to_string(record + 1) + " nu exista.");
    return std::string(reinterpret_cast<const char*>(file.Record(record)), file.RecordLength());
}

bool Table::OpenElsewhere() const {
    return d_->file && d_->file->OpenElsewhere();
}

void Table::PutRecord(uint32_t record, std::string_view bytes) {
    RequireActive(*this);
    Impl& d = *d_;
    RequireBrowse(d.state);
    d.RequireWritable();
    if (record >= d.file->RecordCount() || bytes.size() != d.file->RecordLength())
        throw DbfError(ErrorKind::State, "Linia " + std::to_string(record + 1) + " nu exista.");
    WriteTurn turn(*d.file);
    d.file->FlushAppends();
    d.file->WriteRecord(record, reinterpret_cast<const uint8_t*>(bytes.data()));
    d.ResetRows();
    d.NotifyReset();
    if (!GotoBookmark(record)) {
        d.current = d.HasRow(0) ? 0 : -1;
        d.eof = d.current < 0;
        d.bof = true;
        d.NotifyCursor();
    }
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

DbfOpenOptions FileOptionsOf(const Table& table) {
    DbfOpenOptions options = table.OpenOptionsFor(table.TableName());
    options.checkProductionIndex = false;
    return options;
}

}  // namespace orbelan
