#include "engine/order_by.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "engine/byte_order.h"
#include "engine/dbf_file.h"
#include "engine/errors.h"
#include "engine/field_value.h"
#include "engine/romanian_order.h"

namespace orbelan {
namespace {

constexpr uint64_t kSignBit = 0x8000000000000000ULL;

// Value classes: an empty or unreadable value sorts first; kInexact marks a decimal with more
// significant digits than a double holds, whose ties are settled on the digits themselves.
constexpr uint32_t kEmpty = 0;
constexpr uint32_t kExact = 1;
constexpr uint32_t kInexact = 2;
// Bytes: a Romanian key whose 8 bytes hold all its weights and whose bytes are the only ones
// with those weights: another with the same 8 bytes is the same value.
constexpr uint32_t kWhole = 0x80000000u;
constexpr uint32_t kLeft = ~kWhole;

struct Entry {
    uint64_t key;  // bytes: the next 8 bytes big-endian, zero padded; values: order-preserving
    uint32_t aux;  // bytes: length left from the key's first byte; values: the class
    uint32_t pos;  // position in the input, the last tie-break
};

// Unsigned integers that compare like the doubles they come from.
uint64_t SortableDouble(double d) {
    if (d == 0) d = 0;  // -0 == 0
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return (bits & kSignBit) ? ~bits : bits ^ kSignBit;
}

// Exact comparison of two canonical decimals ("-12.5", "0", "3").
int CompareCanonical(std::string_view a, std::string_view b) {
    const bool na = !a.empty() && a[0] == '-';
    const bool nb = !b.empty() && b[0] == '-';
    if (na != nb) return na ? -1 : 1;
    if (na) {
        a.remove_prefix(1);
        b.remove_prefix(1);
    }
    const size_t da = std::min(a.find('.'), a.size());
    const size_t db = std::min(b.find('.'), b.size());
    int c = 0;
    if (da != db)
        c = da < db ? -1 : 1;
    else if (int m = a.compare(b); m != 0)  // same integer length: digit order is value order
        c = m < 0 ? -1 : 1;
    return na ? -c : c;
}

class KeyReader {
  public:
    KeyReader(const DbfFile& file, int field) {
        if (field < 0 || field >= file.FieldCount())
            throw DbfError(ErrorKind::Sql, "Campul de ordonare nu exista in tabel.");
        const FieldLayout& f = file.FieldAt(field);
        field_ = f;
        if (field_.def.IsMemo())
            throw DbfError(ErrorKind::Sql,
                           "Nu se poate ordona dupa campul memo " + field_.def.name + ".");
        reader_ = FieldReader(file.Layout(), f);
        if (field_.def.type == 'C' || field_.def.type == 'V')
            order_ = &RomanianOrder::For(file.Page());
        bytes_ = !(field_.def.type == 'N' || field_.def.type == 'F' || field_.def.type == 'D' ||
                   field_.def.type == 'L' || field_.def.type == 'I' || field_.def.type == '+' ||
                   field_.def.type == 'Y' || field_.def.type == 'B' || field_.def.type == 'O' ||
                   field_.def.type == 'T' || field_.def.type == '@');
    }

    bool Bytes() const { return bytes_; }
    // Text in Romanian order (nullptr: bytes, as for binary fields).
    const RomanianOrder* Order() const { return order_; }

    // The bytes that are compared for a character-like field.
    std::string_view Data(const uint8_t* record) const { return reader_.Text(record); }

    // Key of the bytes from `from` on, and how many are left. With weights, the bytes stand for
    // the Romanian key made on the fly: their weights, a 0, then the bytes themselves.
    static Entry BytesEntry(std::string_view data, const uint8_t* weights, size_t from,
                            uint32_t pos, const uint8_t* sole = nullptr) {
        Entry e{0, 0, pos};
        if (weights == nullptr) {
            const size_t left = data.size() > from ? data.size() - from : 0;
            for (size_t i = 0; i < 8; ++i)
                e.key = (e.key << 8) | (i < left ? static_cast<uint8_t>(data[from + i]) : 0u);
            e.aux = static_cast<uint32_t>(left);
            return e;
        }
        const size_t n = data.size(), total = 2 * n + 1;
        const size_t left = total > from ? total - from : 0;
        if (from + 8 <= n) {
            for (size_t i = 0; i < 8; ++i)
                e.key = (e.key << 8) | weights[static_cast<uint8_t>(data[from + i])];
        } else {
            for (size_t p = from; p < from + 8; ++p) {
                const uint8_t b = p < n       ? weights[static_cast<uint8_t>(data[p])]
                                  : p == n    ? 0
                                  : p < total ? static_cast<uint8_t>(data[p - n - 1])
                                              : 0;
                e.key = (e.key << 8) | b;
            }
        }
        e.aux = static_cast<uint32_t>(left);
        if (sole && from == 0 && n < 8) {
            bool whole = true;
            for (size_t i = 0; i < n; ++i) whole = whole && sole[static_cast<uint8_t>(data[i])];
            if (whole) e.aux |= kWhole;
        }
        return e;
    }

    Entry ValueEntry(const uint8_t* record, uint32_t pos) const {
        Entry e{0, kEmpty, pos};
        const FieldValue v = reader_.Read(record);
        switch (v.kind) {
            case ValueKind::Number:
                if (field_.def.type == 'Y')  // exact: the stored integer of ten-thousandths
                    Set(e, static_cast<uint64_t>(v.integer) ^ kSignBit);
                else
                    Set(e, SortableDouble(v.number));
                if (!v.exact && field_.def.type != 'Y') e.aux = kInexact;
                break;
            case ValueKind::Date:
            case ValueKind::DateTime:
                Set(e, static_cast<uint64_t>(v.Instant() + (int64_t(1) << 62)));
                break;
            case ValueKind::Bool:
                Set(e, v.flag ? 2 : 1);
                break;
            default:  // empty, null, and values that can't be placed
                break;
        }
        return e;
    }

    // Ties of equal values that a double can't tell apart.
    int ExactCompare(const uint8_t* a, const uint8_t* b) const {
        const auto text = [&](const uint8_t* r) {
            return CanonicalNumber({reinterpret_cast<const char*>(r + field_.def.offset),
                                    static_cast<size_t>(field_.def.size)})
                .value_or("");
        };
        return CompareCanonical(text(a), text(b));
    }

    // Full three-way comparison of two records' keys: equal bytes for text (GROUP BY).
    int Compare(const uint8_t* a, const uint8_t* b) const {
        if (bytes_) {
            const std::string_view da = Data(a), db = Data(b);
            // A null V or Q value is a view without bytes: memcmp must not see its null pointer.
            const size_t n = std::min(da.size(), db.size());
            const int c = n == 0 ? 0 : std::memcmp(da.data(), db.data(), n);
            if (c != 0) return c < 0 ? -1 : 1;
            return da.size() == db.size() ? 0 : (da.size() < db.size() ? -1 : 1);
        }
        const Entry ea = ValueEntry(a, 0), eb = ValueEntry(b, 0);
        if ((ea.aux == kEmpty) != (eb.aux == kEmpty)) return ea.aux == kEmpty ? -1 : 1;
        if (ea.aux == kEmpty) return 0;
        if (ea.key != eb.key) return ea.key < eb.key ? -1 : 1;
        if (ea.aux == kInexact || eb.aux == kInexact) return ExactCompare(a, b);
        return 0;
    }

  private:
    static void Set(Entry& e, uint64_t key) {
        e.key = key;
        e.aux = kExact;
    }
    FieldLayout field_;
    FieldReader reader_;
    bool bytes_ = true;
    const RomanianOrder* order_ = nullptr;
};

// Sorts bytes entries 8 bytes at a time: entries whose 8 bytes and remaining length (past 8)
// tie are refined on their next 8 bytes, so equal long keys cost one record read per level
// instead of a record read per comparison.
template <class KeyOf>
void SortBytes(const KeyOf& keyOf, std::vector<Entry>& entries, bool descending) {
    const auto clamp = [](uint32_t aux) { return std::min<uint32_t>(aux & kLeft, 9); };
    const auto less = [&](const Entry& a, const Entry& b) {
        if (a.key != b.key) return descending ? a.key > b.key : a.key < b.key;
        const uint32_t la = clamp(a.aux), lb = clamp(b.aux);
        if (la != lb) return descending ? la > lb : la < lb;
        return a.pos < b.pos;
    };
    struct Range {
        size_t begin, end, from;
    };
    std::vector<Range> work{{0, entries.size(), 0}};
    while (!work.empty()) {
        const Range r = work.back();
        work.pop_back();
        if (r.from > 0)
            for (size_t i = r.begin; i < r.end; ++i) {
                const auto [data, weights] = keyOf(entries[i].pos);
                entries[i] = KeyReader::BytesEntry(data, weights, r.from, entries[i].pos);
            }
        std::sort(entries.begin() + static_cast<std::ptrdiff_t>(r.begin),
                  entries.begin() + static_cast<std::ptrdiff_t>(r.end), less);
        for (size_t i = r.begin; i < r.end;) {
            size_t j = i + 1;
            if ((entries[i].aux & kLeft) > 8)
                while (j < r.end && entries[j].key == entries[i].key &&
                       (entries[j].aux & kLeft) > 8)
                    ++j;
            // Equal values are in their given order already: only different ones need the
            // next bytes (a column of a few names repeated a million times).
            bool whole = true;
            for (size_t k = i; k < j && whole; ++k) whole = (entries[k].aux & kWhole) != 0;
            if (j - i > 1 && !whole) {
                const std::string_view first = keyOf(entries[i].pos).first;
                size_t k = i + 1;
                while (k < j && keyOf(entries[k].pos).first == first) ++k;
                if (k < j) work.push_back({i, j, r.from + 8});
            }
            i = j;
        }
    }
}

void SortValues(const KeyReader& reader, const DbfFile& file, const std::vector<uint32_t>& records,
                std::vector<Entry>& entries, bool descending) {
    const auto less = [&](const Entry& a, const Entry& b) {
        const bool ea = a.aux == kEmpty, eb = b.aux == kEmpty;
        if (ea != eb) return descending ? eb : ea;
        if (!ea && a.key != b.key) return descending ? a.key > b.key : a.key < b.key;
        if (!ea && (a.aux == kInexact || b.aux == kInexact)) {
            const int c =
                reader.ExactCompare(file.Record(records[a.pos]), file.Record(records[b.pos]));
            if (c != 0) return descending ? c > 0 : c < 0;
        }
        return a.pos < b.pos;
    };
    std::sort(entries.begin(), entries.end(), less);
}

std::vector<uint32_t> SortBy(const DbfFile& file, const std::vector<uint32_t>& records,
                             const SortKey& key) {
    const KeyReader reader(file, key.field);
    std::vector<Entry> entries(records.size());
    if (!reader.Bytes()) {
        for (size_t i = 0; i < records.size(); ++i)
            entries[i] = reader.ValueEntry(file.Record(records[i]), static_cast<uint32_t>(i));
        SortValues(reader, file, records, entries, key.descending);
    } else if (reader.Order() && !reader.Order()->Weights()) {
        // UTF-8 text: the Romanian keys made once, as a weight takes more than a byte.
        std::vector<std::string> keys(records.size());
        for (size_t i = 0; i < records.size(); ++i)
            reader.Order()->AppendKey(reader.Data(file.Record(records[i])), keys[i]);
        const auto keyOf = [&](uint32_t pos) {
            return std::pair<std::string_view, const uint8_t*>(keys[pos], nullptr);
        };
        for (size_t i = 0; i < records.size(); ++i)
            entries[i] = KeyReader::BytesEntry(keys[i], nullptr, 0, static_cast<uint32_t>(i));
        SortBytes(keyOf, entries, key.descending);
    } else {
        const uint8_t* weights = reader.Order() ? reader.Order()->Weights() : nullptr;
        const auto keyOf = [&](uint32_t pos) {
            return std::pair<std::string_view, const uint8_t*>(
                reader.Data(file.Record(records[pos])), weights);
        };
        const uint8_t* sole = reader.Order() ? reader.Order()->SoleBytes() : nullptr;
        for (size_t i = 0; i < records.size(); ++i) {
            const auto [data, w] = keyOf(static_cast<uint32_t>(i));
            entries[i] = KeyReader::BytesEntry(data, w, 0, static_cast<uint32_t>(i), sole);
        }
        SortBytes(keyOf, entries, key.descending);
    }
    std::vector<uint32_t> out(records.size());
    for (size_t i = 0; i < entries.size(); ++i) out[i] = records[entries[i].pos];
    return out;
}

}  // namespace

std::vector<uint32_t> OrderedRecords(const DbfFile& file, int field) {
    std::vector<uint32_t> records;
    records.reserve(file.RecordCount());
    for (uint32_t i = 0; i < file.RecordCount(); ++i)
        if (!file.IsDeleted(i)) records.push_back(i);
    return OrderRecords(file, std::move(records), {SortKey{field, false}});
}

std::vector<uint32_t> OrderRecords(const DbfFile& file, std::vector<uint32_t> records,
                                   const std::vector<SortKey>& keys) {
    // Stable sorts from the last key to the first give the order of all keys together.
    for (auto k = keys.rbegin(); k != keys.rend(); ++k) records = SortBy(file, records, *k);
    return records;
}

std::vector<size_t> GroupStarts(const DbfFile& file, const std::vector<uint32_t>& ordered,
                                const std::vector<int>& fields) {
    std::vector<KeyReader> readers;
    readers.reserve(fields.size());
    for (int f : fields) readers.emplace_back(file, f);
    std::vector<size_t> starts;
    for (size_t i = 0; i < ordered.size(); ++i) {
        bool same = i > 0;
        for (size_t k = 0; same && k < readers.size(); ++k)
            same = readers[k].Compare(file.Record(ordered[i - 1]), file.Record(ordered[i])) == 0;
        if (!same) starts.push_back(i);
    }
    return starts;
}

}  // namespace orbelan
