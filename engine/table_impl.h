#pragma once
// What the files of Table share: its state (Impl) and the checks every operation starts with.
// Only table*.cpp include this.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/codepage.h"
#include "engine/dbf_file.h"
#include "engine/filter.h"
#include "engine/table.h"

namespace orbelan {
namespace table_detail {

// Visible rows are found this many records at a time, so the first screen of a huge table
// costs almost nothing.
constexpr uint32_t kScanStep = 4096;

// One in-place write: the table's write lock is let go when it ends, however it ends.
struct WriteTurn {
    DbfFile& file;
    explicit WriteTurn(DbfFile& f) : file(f) { file.BeginWrite(); }
    ~WriteTurn() { file.EndWrite(); }
    WriteTurn(const WriteTurn&) = delete;
    WriteTurn& operator=(const WriteTurn&) = delete;
};

inline bool IsMemoField(const FieldDef& d) {
    return d.IsMemo() && !(d.type == 'B' && d.size == 8);
}

// Fields whose values are bytes rather than text: shown by their length, never decoded.
inline bool IsBinaryMemo(const FieldDef& d) {
    return d.type == 'G' || d.type == 'P' || (d.type == 'B' && d.size == 10);
}

inline void RequireActive(const Table& t) {
    if (!t.Active()) throw DbfError(ErrorKind::State, "Nu este deschis niciun tabel.");
}

inline void RequireBrowse(Table::State state) {
    if (state == Table::State::Edit || state == Table::State::Insert)
        throw DbfError(
            ErrorKind::State,
            "Linia modificata trebuie salvata sau anulata inainte de a trece la alta linie.");
}

}  // namespace table_detail

struct Table::Impl {
    // options
    std::string tableName;
    std::string defaultCodePage = "cp1250";
    std::string codePageOverride;
    FormatSettings format;
    AttachedIndexLookup attachedIndexes;
    IndexQuestion askAboutIndex;

    // the open file
    std::unique_ptr<DbfFile> file;
    bool readOnly = false;
    State state = State::Inactive;

    // rows: the source sequence is the file order, or `order` when one is set
    bool customOrder = false;
    std::vector<uint32_t> order;
    std::vector<uint32_t> visible;  // physical records of the visible rows found so far
    bool releasePages = false;      // SetReleasingPagesWhileScanning
    bool showDeleted = false;       // SetShowingDeleted
    size_t scanPos = 0;             // next position of the source sequence to look at

    // filter
    std::string filterText;
    bool filtered = false;
    std::unique_ptr<FilterExpression> filter;
    // A filter FIELD='X' (or 'X*') answered by an index tag: the records it can keep, found by a
    // seek, while the file is as it was then (any write and the filter looks at every row).
    std::vector<bool> seekHits;
    bool seeking = false;
    uint64_t seekWrites = 0;
    void PrepareSeek();

    // cursor
    int current = -1;
    bool eof = true;
    bool bof = true;

    // edit buffer
    std::string buffer;
    std::string read;  // the record as it was when the edit began
    int64_t editRecord = -1;
    bool modified = false;
    std::map<int, std::string> pendingMemos;  // field -> bytes in the table's code page
    std::string scratch;                      // reused copy of a record being changed
    std::string blank;                        // an empty record of this table

    // observers
    std::vector<TableObserver*> observers;
    int disabled = 0;

    // Memo texts for the filter, read from this file.
    MemoBytesReader MemoReader() const {
        const DbfFile* f = file.get();
        return [f](const uint8_t* rec, const FieldLayout& field) {
            return f->MemoStoredBytes(rec, field);
        };
    }
    std::unique_ptr<FilterExpression> CompileFilter() const {
        return FilterExpression::Compile(filterText, file->Layout(), file->Page(), format, false,
                                         MemoReader());
    }

    size_t SourceLength() const { return customOrder ? order.size() : file->RecordCount(); }
    uint32_t SourceAt(size_t k) const { return customOrder ? order[k] : static_cast<uint32_t>(k); }

    bool Passes(uint32_t record) const {
        if (seeking && file->Writes() == seekWrites && record < seekHits.size() &&
            !seekHits[record])
            return false;
        const uint8_t* rec = file->Record(record);
        if (rec[0] == '*' && !showDeleted) return false;
        return !filter || filter->Matches(rec);
    }

    // Another program may have shortened the file: asked once per step, so a scan costs one
    // stat per few thousand rows, and rows read from lost pages are never shown.
    void ScanMore(size_t wanted);
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
        if (!table_detail::IsMemoField(t.Field(field))) return false;
        RequireWritable();
        if (CurrentBytes() == nullptr)
            throw DbfError(ErrorKind::State, "Tabelul nu are nicio linie curenta.");
        std::string bytes = file->Page().Encode(text);  // unencodable text fails before any change
        MemoFile::CheckStorable(file->Layout().memo, bytes);
        if (!Editing()) t.Edit();
        pendingMemos[field] = std::move(bytes);
        modified = true;
        NotifyRowChanged();
        return true;
    }
};

}  // namespace orbelan
