// Rows the file still holds with a deletion mark: shown on request and recalled; and what a grid
// cell shows of a memo value.
#include <algorithm>

#include "engine/table.h"
#include "engine/table_impl.h"
#include "engine/utf8.h"

namespace orbelan {

using table_detail::IsBinaryMemo;
using table_detail::IsMemoField;
using table_detail::RequireActive;
using table_detail::RequireBrowse;
using table_detail::WriteTurn;

void Table::SetShowingDeleted(bool on) {
    Impl& d = *d_;
    if (d.showDeleted == on) return;
    if (!Active()) {
        d.showDeleted = on;
        return;
    }
    RequireBrowse(d.state);
    const Bookmark at = GetBookmark();
    d.showDeleted = on;
    d.RestartAtFirstRow();
    if (at >= 0) GotoBookmark(at);
}

bool Table::ShowingDeleted() const {
    return d_->showDeleted;
}

bool Table::IsDeletedAt(int row) {
    if (!Active()) return false;
    Impl& d = *d_;
    if (row == d.InsertRow() || !d.HasRow(row)) return false;
    return d.file->IsDeleted(d.visible[static_cast<size_t>(row)]);
}

void Table::Recall() {
    RequireActive(*this);
    Impl& d = *d_;
    RequireBrowse(d.state);
    d.RequireWritable();
    if (d.current < 0) throw DbfError(ErrorKind::State, "Tabelul nu are nicio linie curenta.");
    const uint32_t record = d.visible[static_cast<size_t>(d.current)];
    if (!d.file->IsDeleted(record)) return;
    // Undoable as the deletion is: the journal gets the record before and after.
    WriteTurn turn(*d.file);
    const std::string before = AfterRecordWrite ? RawRecord(record) : std::string();
    d.file->SetDeleted(record, false);
    if (AfterRecordWrite) {
        std::string after = before;
        after[0] = ' ';
        AfterRecordWrite(*this, record, before, after);
    }
    d.NotifyRowChanged();
}

int Table::RecallVisible() {
    RequireActive(*this);
    Impl& d = *d_;
    RequireBrowse(d.state);
    d.RequireWritable();
    d.CountAll();
    std::vector<uint32_t> records;
    for (const uint32_t r : d.visible)
        if (d.file->IsDeleted(r)) records.push_back(r);
    if (records.empty()) return 0;
    std::sort(records.begin(), records.end());
    WriteTurn turn(*d.file);
    d.file->SetDeletedMany(records, false);
    d.NotifyReset();
    d.NotifyCursor();
    return static_cast<int>(records.size());
}

int64_t Table::RecordNumberAt(int row) {
    if (!Active()) return -1;
    Impl& d = *d_;
    if (row == d.InsertRow() || !d.HasRow(row)) return -1;
    return d.visible[static_cast<size_t>(row)];
}

int Table::CountDeleted() const {
    RequireActive(*this);
    const DbfFile& f = *d_->file;
    f.CheckIntact();
    int count = 0;
    for (uint32_t i = 0; i < f.RecordCount(); ++i) count += f.Record(i)[0] == '*';
    f.CheckReads();
    return count;
}

void Table::SetMemoBytes(int field, std::string bytes) {
    RequireActive(*this);
    Impl& d = *d_;
    if (!IsMemoField(Field(field)))
        throw DbfError(ErrorKind::State, "Campul " + Field(field).name + " nu este memo.");
    d.RequireWritable();
    if (d.CurrentBytes() == nullptr)
        throw DbfError(ErrorKind::State, "Tabelul nu are nicio linie curenta.");
    MemoFile::CheckStorable(d.file->Layout().memo, bytes);
    if (!d.Editing()) Edit();
    d.pendingMemos[field] = std::move(bytes);
    d.modified = true;
    d.NotifyRowChanged();
}

std::string Table::CellTextAt(int row, int field, size_t maxChars) {
    RequireActive(*this);
    Impl& d = *d_;
    if (field < 0 || field >= FieldCount() || !IsMemoField(Field(field))) return TextAt(row, field);
    const bool binary = IsBinaryMemo(Field(field));
    const size_t limit = binary ? 0 : maxChars;
    MemoValue v;
    const uint8_t* rec = nullptr;
    if (row == d.current && d.Editing()) {
        const auto it = d.pendingMemos.find(field);
        if (it != d.pendingMemos.end()) {
            v.bytes = it->second.substr(0, limit);
            v.length = it->second.size();
            v.cut = v.length > limit;
        } else {
            rec = reinterpret_cast<const uint8_t*>(d.buffer.data());
        }
    } else {
        if (!d.HasRow(row)) return {};
        d.file->CheckIntact();
        rec = d.file->Record(d.visible[static_cast<size_t>(row)]);
    }
    if (rec != nullptr) {
        v = d.file->MemoHead(rec, field, limit);
        if (binary && v.cut && v.length == 0) v = d.file->MemoBytes(rec, field);
        d.file->CheckReads();
    }
    if (!v.ok) return v.bytes;
    if (binary) {
        const uint64_t length = v.cut ? v.length : v.bytes.size();
        return "(BINAR, " + std::to_string(length) + " octeti)";
    }
    const std::string text = d.file->Page().Decode(v.bytes);
    const size_t lineEnd = text.find_first_of("\r\n");
    const bool more = v.cut || (lineEnd != std::string::npos &&
                                text.find_first_not_of(" \t\r\n", lineEnd) != std::string::npos);
    std::string shown(utf8::Prefix(std::string_view(text).substr(0, lineEnd), maxChars));
    if (more) shown += "...";
    return shown;
}

}  // namespace orbelan
