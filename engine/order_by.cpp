#include "engine/order_by.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "engine/byte_order.h"
#include "engine/dbf_file.h"
#include "engine/errors.h"

namespace orbelan {
namespace {

constexpr uint64_t kSignBit = 0x8000000000000000ULL;
constexpr int64_t kMsPerDay = 86400000;

// Value classes: an empty or unreadable value sorts first; kInexact marks a decimal with more
// significant digits than a double holds, whose ties are settled on the digits themselves.
constexpr uint32_t kEmpty = 0;
constexpr uint32_t kExact = 1;
constexpr uint32_t kInexact = 2;

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

bool IsBlank(char c) {
    return c == ' ' || c == '\0';
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

// A number as dBase programs store it: blanks, sign, digits, point, digits, blanks.
struct StoredNumber {
    uint32_t cls = kEmpty;
    double value = 0;
};

StoredNumber ParseStoredNumber(std::string_view raw) {
    StoredNumber r;
    size_t b = 0, e = raw.size();
    while (b < e && IsBlank(raw[b])) ++b;
    while (e > b && IsBlank(raw[e - 1])) --e;
    std::string_view t = raw.substr(b, e - b);
    if (t.empty() || t.find_first_not_of('*') == std::string_view::npos) return r;  // overflow too
    if (t[0] == '+') t.remove_prefix(1);
    size_t i = t.empty() || t[0] != '-' ? 0 : 1;
    int digits = 0, significant = 0, pendingZeros = 0;
    bool point = false, seenNonZero = false;
    for (; i < t.size(); ++i) {
        const char c = t[i];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9') break;
        ++digits;
        if (c == '0') {
            if (seenNonZero) ++pendingZeros;
        } else {
            significant += pendingZeros + 1;
            pendingZeros = 0;
            seenNonZero = true;
        }
    }
    if (i == t.size() && digits > 0) {
        if (!point) significant += pendingZeros;  // 1200 has four significant digits, 1.200 two
        if (std::from_chars(t.data(), t.data() + t.size(), r.value).ec == std::errc())
            r.cls = significant > 15 ? kInexact : kExact;
        return r;
    }
    // Anything unusual (exponents, stray characters) goes through the codec's reading.
    const auto canonical = CanonicalNumber(raw);
    if (!canonical || canonical->empty()) return r;
    const std::string& c = *canonical;
    if (std::from_chars(c.data(), c.data() + c.size(), r.value).ec != std::errc()) return r;
    if (!std::isfinite(r.value)) return r;
    r.cls = c.size() > 16 ? kInexact : kExact;  // digits, sign and point: conservative
    return r;
}

class KeyReader {
  public:
    KeyReader(const DbfFile& file, int field) {
        if (field < 0 || field >= file.FieldCount())
            throw DbfError(ErrorKind::Sql, "Campul de ordonare nu exista in tabel.");
        const FieldLayout& f = file.FieldAt(field);
        field_ = f;
        field_.nullBit = -1;  // read here, not by the codec
        if (field_.def.IsMemo())
            throw DbfError(ErrorKind::Sql,
                           "Nu se poate ordona dupa campul memo " + field_.def.name + ".");
        const DbfLayout& layout = file.Layout();
        if (layout.nullFlagsField >= 0) {
            const FieldDef& flags = layout.fields[static_cast<size_t>(layout.nullFlagsField)].def;
            nullFlags_ = flags.offset;
            nullFlagsSize_ = flags.size;
            nullBit_ = f.nullBit;
            varLengthBit_ = f.varLengthBit;
        }
        bigEndian_ = layout.BigEndianIntegers();
        bytes_ = !(field_.def.type == 'N' || field_.def.type == 'F' || field_.def.type == 'D' ||
                   field_.def.type == 'L' || field_.def.type == 'I' || field_.def.type == '+' ||
                   field_.def.type == 'Y' || field_.def.type == 'B' || field_.def.type == 'O' ||
                   field_.def.type == 'T' || field_.def.type == '@');
    }

    bool Bytes() const { return bytes_; }

    // The bytes that are compared for a character-like field.
    std::string_view Data(const uint8_t* record) const {
        const char* p = reinterpret_cast<const char*>(record + field_.def.offset);
        size_t n = static_cast<size_t>(field_.def.size);
        if (Bit(record, nullBit_)) return {};
        if (field_.def.type == 'V' || field_.def.type == 'Q') {
            if (Bit(record, varLengthBit_) && n > 0)
                n = std::min<size_t>(n - 1, static_cast<uint8_t>(p[n - 1]));
            if (field_.def.type == 'Q') return {p, n};
        }
        while (n > 0 && p[n - 1] == ' ') --n;
        return {p, n};
    }

    // Key of the bytes from `from` on, and how many are left.
    static Entry BytesEntry(std::string_view data, size_t from, uint32_t pos) {
        Entry e{0, 0, pos};
        const size_t left = data.size() > from ? data.size() - from : 0;
        for (size_t i = 0; i < 8; ++i)
            e.key = (e.key << 8) | (i < left ? static_cast<uint8_t>(data[from + i]) : 0u);
        e.aux = static_cast<uint32_t>(left);
        return e;
    }

    Entry ValueEntry(const uint8_t* record, uint32_t pos) const {
        Entry e{0, kEmpty, pos};
        if (Bit(record, nullBit_)) return e;
        const uint8_t* p = record + field_.def.offset;
        const size_t size = static_cast<size_t>(field_.def.size);
        switch (field_.def.type) {
            case 'N':
            case 'F': {
                const StoredNumber n = ParseStoredNumber({reinterpret_cast<const char*>(p), size});
                e.aux = n.cls;
                if (n.cls != kEmpty) e.key = SortableDouble(n.value);
                break;
            }
            case 'D':
                if (const auto day = FieldCodec::StoredDate(record, field_))
                    Set(e, static_cast<uint64_t>(static_cast<int64_t>(*day) + (1LL << 40)));
                break;
            case 'L':
                if (size >= 1) {
                    const char c = static_cast<char>(p[0]);
                    if (c == 'T' || c == 't' || c == 'Y' || c == 'y') Set(e, 2);
                    if (c == 'F' || c == 'f' || c == 'N' || c == 'n') Set(e, 1);
                }
                break;
            case 'I':
            case '+':
                if (size == 4) {
                    const int32_t v = bigEndian_ ? static_cast<int32_t>(LoadBE32(p) ^ 0x80000000u)
                                                 : static_cast<int32_t>(LoadLE32(p));
                    Set(e, static_cast<uint64_t>(static_cast<int64_t>(v) + (1LL << 32)));
                }
                break;
            case 'Y':
                if (size == 8) Set(e, LoadLE64(p) ^ kSignBit);
                break;
            case 'B':
            case 'O':
                if (size == 8) {
                    uint64_t bits = field_.def.type == 'B' ? LoadLE64(p) : LoadBE64(p);
                    if (field_.def.type == 'O') bits = (bits & kSignBit) ? bits ^ kSignBit : ~bits;
                    const double d = BitsToDouble(bits);
                    if (std::isfinite(d)) Set(e, SortableDouble(d));
                }
                break;
            case 'T':
                if (size == 8) {
                    const int32_t jd = static_cast<int32_t>(LoadLE32(p));
                    const int32_t ms = static_cast<int32_t>(LoadLE32(p + 4));
                    if (jd >= 1721426 && ms >= 0 && ms <= kMsPerDay)
                        Set(e, static_cast<uint64_t>(jd) * kMsPerDay + static_cast<uint64_t>(ms));
                }
                break;
            case '@':
                if (size == 8) {
                    const double total = BitsToDouble(LoadBE64(p));
                    if (total > 0 && std::isfinite(total)) Set(e, SortableDouble(total));
                }
                break;
            default:
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

    // Full three-way comparison of two records' keys.
    int Compare(const uint8_t* a, const uint8_t* b) const {
        if (bytes_) {
            const std::string_view da = Data(a), db = Data(b);
            const int c = std::memcmp(da.data(), db.data(), std::min(da.size(), db.size()));
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
    bool Bit(const uint8_t* record, int bit) const {
        if (bit < 0 || nullFlags_ < 0 || bit / 8 >= nullFlagsSize_) return false;
        return (record[nullFlags_ + bit / 8] >> (bit % 8)) & 1;
    }
    FieldLayout field_;
    int nullFlags_ = -1;
    int nullFlagsSize_ = 0;
    int nullBit_ = -1;
    int varLengthBit_ = -1;
    bool bigEndian_ = false;
    bool bytes_ = true;
};

// Sorts bytes entries 8 bytes at a time: entries whose 8 bytes and remaining length (past 8)
// tie are refined on their next 8 bytes, so equal long keys cost one record read per level
// instead of a record read per comparison.
void SortBytes(const KeyReader& reader, const DbfFile& file, const std::vector<uint32_t>& records,
               std::vector<Entry>& entries, bool descending) {
    const auto clamp = [](uint32_t left) { return std::min<uint32_t>(left, 9); };
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
            for (size_t i = r.begin; i < r.end; ++i)
                entries[i] = KeyReader::BytesEntry(
                    reader.Data(file.Record(records[entries[i].pos])), r.from, entries[i].pos);
        std::sort(entries.begin() + static_cast<std::ptrdiff_t>(r.begin),
                  entries.begin() + static_cast<std::ptrdiff_t>(r.end), less);
        for (size_t i = r.begin; i < r.end;) {
            size_t j = i + 1;
            if (entries[i].aux > 8)
                while (j < r.end && entries[j].key == entries[i].key && entries[j].aux > 8) ++j;
            if (j - i > 1) work.push_back({i, j, r.from + 8});
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
    for (size_t i = 0; i < records.size(); ++i) {
        const uint8_t* rec = file.Record(records[i]);
        const auto pos = static_cast<uint32_t>(i);
        entries[i] = reader.Bytes() ? KeyReader::BytesEntry(reader.Data(rec), 0, pos)
                                    : reader.ValueEntry(rec, pos);
    }
    if (reader.Bytes())
        SortBytes(reader, file, records, entries, key.descending);
    else
        SortValues(reader, file, records, entries, key.descending);
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
