// The visible rows (not deleted, passing the filter, in the current order), found as far as
// they are asked for, and the cursor over them.
#include <algorithm>
#include <cctype>

#include "engine/table.h"

#include "engine/index/index_set.h"
#include "engine/table_impl.h"

namespace orbelan {

using table_detail::kScanStep;
using table_detail::RequireActive;
using table_detail::RequireBrowse;

void Table::Impl::ScanMore(size_t wanted) {
    const size_t end = SourceLength();
    if (scanPos < end && visible.size() < wanted) file->CheckIntact();
    for (int steps = 1; scanPos < end && visible.size() < wanted; ++steps) {
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
        if (releasePages && steps % 16 == 0) file->ReleaseReadPages();
    }
}

void Table::Impl::PrepareSeek() {
    seeking = false;
    seekHits.clear();
    if (!filter || customOrder) return;
    // FIELD='X' or FIELD='X*', nothing more: a tag on FIELD (or UPPER(FIELD)) gives its rows.
    const std::string& t = filterText;
    size_t i = 0;
    const auto blanks = [&] {
        while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
    };
    blanks();
    const bool bracket = i < t.size() && t[i] == '[';
    if (bracket) ++i;
    const size_t nameStart = i;
    while (i < t.size() && (std::isalnum(static_cast<unsigned char>(t[i])) || t[i] == '_')) ++i;
    const std::string field = t.substr(nameStart, i - nameStart);
    if (field.empty() || (bracket && (i >= t.size() || t[i++] != ']'))) return;
    blanks();
    if (i >= t.size() || t[i++] != '=') return;
    blanks();
    if (i >= t.size() || t[i++] != '\'') return;
    const size_t close = t.find('\'', i);
    if (close == std::string::npos) return;
    std::string value = t.substr(i, close - i);
    i = close + 1;
    blanks();
    if (i != t.size()) return;
    const bool prefix = !value.empty() && value.back() == '*';
    if (prefix) value.pop_back();
    if (value.empty() || value.find('*') != std::string::npos) return;
    const int index = file->FieldIndex(field);
    if (index < 0 || file->Fields()[static_cast<size_t>(index)].type != 'C') return;
    const IndexSet* set = file->Indexes();
    if (!set) return;
    bool upper = false;
    const auto tag = set->TagForField(field, &upper);
    if (!tag) return;
    if (upper) {
        // Letters beyond ASCII may be raised otherwise by the tag's UPPER: no seek for them.
        for (char& c : value) {
            if (static_cast<unsigned char>(c) >= 0x80) return;
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    std::vector<uint32_t> records;
    try {
        records = set->Seek(*tag, value, prefix);
    } catch (const DbfError&) {
        return;  // the scan answers
    }
    seekHits.assign(file->RecordCount(), false);
    for (const uint32_t r : records)
        if (r < seekHits.size()) seekHits[r] = true;
    seekWrites = file->Writes();
    seeking = true;
}

void Table::Impl::RestartAtFirstRow() {
    ResetRows();
    current = HasRow(0) ? 0 : -1;
    eof = current < 0;
    bof = true;
    NotifyReset();
    NotifyCursor();
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

void Table::SetIndexOrder(const std::string& tag) {
    RequireActive(*this);
    RequireBrowse(d_->state);
    if (tag.empty()) {
        ClearRowOrder();
        return;
    }
    const DbfFile& file = *d_->file;
    const IndexSet* set = file.Indexes();
    const auto ref = set ? set->FindTag(tag) : std::nullopt;
    if (!ref)
        throw DbfError(
            ErrorKind::State,
            "Tabelul " + file.Path() + " nu are eticheta de index " + tag + "." +
                (file.IndexDamage().empty() ? std::string() : " (" + file.IndexDamage() + ")"));
    std::vector<uint32_t> records;
    records.reserve(file.RecordCount());
    set->Walk(*ref, [&](uint32_t record) {
        if (record < file.RecordCount()) records.push_back(record);
        return true;
    });
    SetRowOrder(std::move(records));
}

int Table::RecordCount() {
    if (!Active()) return 0;
    return d_->CountAll() + (d_->state == State::Insert ? 1 : 0);
}

bool Table::IsEmpty() {
    return RecordCount() == 0;
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
            compiled = d.CompileFilter();
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
    d.PrepareSeek();
    d.RestartAtFirstRow();
}

}  // namespace orbelan
