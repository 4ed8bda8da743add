#include "cleaning/column_profile.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "core/command_guard.h"
#include "core/progress.h"
#include "core/text_util.h"
#include "core/workspace.h"
#include "engine/codepage.h"
#include "engine/date_util.h"
#include "engine/dbf_file.h"
#include "engine/dbf_writer.h"
#include "engine/errors.h"
#include "engine/field_codec.h"
#include "engine/field_value.h"
#include "engine/romanian_order.h"
#include "engine/table.h"
#include "engine/utf8.h"

namespace orbelan {
namespace {

constexpr int64_t kProgressStep = 65536;
constexpr size_t kExamples = 10;

// A key's count, and the text it shows (made once, when the key is first seen).
struct KeyEntry {
    int64_t count = 0;
    std::string text;
    double sum = 0;  // counts by value: of the summed column
    size_t keyAt = 0;
    uint32_t keySize = 0;
};

// Counts of keys in one open-addressed table over one buffer of key bytes: a million distinct
// codes cost no allocation each and about one cache miss a row. Exact up to its limit; past it
// the rarest are dropped in rounds, so memory stays bounded and the frequent keys keep counts
// close to the truth.
class KeyCounter {
  public:
    explicit KeyCounter(size_t limit = kExactDistinctLimit) : limit_(std::max<size_t>(limit, 2)) {
        Resize(1024);
    }
    // textOf(key) gives the shown text of a key seen for the first time. The entry stays valid
    // until the next Add.
    template <class TextOf>
    KeyEntry& Add(std::string_view key, const TextOf& textOf) {
        const uint64_t hash = Hash(key);
        size_t i = hash & mask_;
        while (slots_[i].entry != kFree) {
            const Slot& s = slots_[i];
            if (s.hash == hash) {
                KeyEntry& e = entries_[s.entry];
                if (Key(e) == key) {
                    ++e.count;
                    return e;
                }
            }
            i = (i + 1) & mask_;
        }
        if (entries_.size() >= limit_) {
            Prune();
            return Add(key, textOf);  // counted anew, now with room
        }
        ++seen_;
        KeyEntry e{1, textOf(key), 0, keys_.size(), static_cast<uint32_t>(key.size())};
        keys_.append(key);
        slots_[i] = {hash, static_cast<uint32_t>(entries_.size())};
        entries_.push_back(std::move(e));
        if (entries_.size() * 2 > slots_.size()) Resize(slots_.size() * 2);
        return entries_.back();
    }
    template <class Visit>
    void ForEach(const Visit& visit) {
        for (KeyEntry& e : entries_) visit(Key(e), e);
    }
    size_t Size() const { return entries_.size(); }
    void Clear() {
        entries_ = {};
        keys_ = {};
        slots_ = {};
    }
    bool Approximate() const { return approximate_; }
    int64_t Distinct() const {
        return approximate_ ? seen_ : static_cast<int64_t>(entries_.size());
    }

  private:
    static constexpr uint32_t kFree = UINT32_MAX;
    struct Slot {
        uint64_t hash = 0;
        uint32_t entry = kFree;
    };
    static uint64_t Hash(std::string_view s) { return std::hash<std::string_view>{}(s); }
    std::string_view Key(const KeyEntry& e) const { return {keys_.data() + e.keyAt, e.keySize}; }
    void Resize(size_t slots) {
        slots_.assign(slots, Slot{});
        mask_ = slots - 1;
        for (size_t n = 0; n < entries_.size(); ++n) {
            size_t i = Hash(Key(entries_[n])) & mask_;
            while (slots_[i].entry != kFree) i = (i + 1) & mask_;
            slots_[i] = {Hash(Key(entries_[n])), static_cast<uint32_t>(n)};
        }
    }
    void Prune() {
        approximate_ = true;
        std::vector<KeyEntry> kept;
        // The fewest counts go first, as few rounds as it takes to free half the room.
        for (int64_t floor = 1;; ++floor) {
            size_t left = 0;
            for (const KeyEntry& e : entries_) left += e.count > floor;
            if (left < limit_ / 2) {
                std::string keys;
                for (KeyEntry& e : entries_) {
                    if (e.count <= floor) continue;
                    const std::string_view k = Key(e);
                    e.keyAt = keys.size();
                    keys.append(k);
                    kept.push_back(std::move(e));
                }
                keys_ = std::move(keys);
                break;
            }
        }
        entries_ = std::move(kept);
        Resize(slots_.size());
    }
    size_t limit_;
    std::vector<Slot> slots_;
    size_t mask_ = 0;
    std::string keys_;
    std::vector<KeyEntry> entries_;
    int64_t seen_ =
        0;  // keys ever added: past the limit, a key dropped and seen again counts twice
    bool approximate_ = false;
};

bool Checkpoint(const ProfileProgress& progress, int64_t done, int64_t total) {
    if (progress && done % kProgressStep == 0 && !progress(done, total)) throw ProfileStopped();
    return true;
}

const RomanianOrder& Utf8Order() {
    static const auto page = CodePage::Get("utf-8");
    return RomanianOrder::For(*page);
}

bool DigitsOnly(std::string_view s) {
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// <0, 0, >0 in Romanian order. Digits weigh in their own order, so texts of digits alone
// (codes) are in byte order: the common case of a million codes skips the alphabet's tables.
int RomanianCompare(std::string_view a, std::string_view b) {
    if (DigitsOnly(a) && DigitsOnly(b)) return a.compare(b);
    return Utf8Order().Compare(a, b);
}

bool RomanianBefore(std::string_view a, std::string_view b) {
    return RomanianCompare(a, b) < 0;
}

// The first `keep` of texts in Romanian order, in that order: a linear choice first, since all
// but a few are dropped (a column of a million different codes).
void FirstInOrder(std::vector<std::string>& texts, size_t keep) {
    if (texts.size() > keep) {
        std::nth_element(texts.begin(), texts.begin() + static_cast<std::ptrdiff_t>(keep),
                         texts.end(), RomanianBefore);
        texts.resize(keep);
    }
    std::sort(texts.begin(), texts.end(), RomanianBefore);
}

// Most first; equal counts in Romanian order (texts) or in byte order (numbers, dates: their
// texts are digits and signs, and the alphabet's tables would only cost time).
void RankValues(std::vector<ValueCount>& values, size_t keep, bool alphabetical = true) {
    keep = std::min(keep, values.size());
    const auto before = [alphabetical](const ValueCount& a, const ValueCount& b) {
        if (a.count != b.count) return a.count > b.count;
        return alphabetical ? RomanianBefore(a.text, b.text) : a.text < b.text;
    };
    if (keep < values.size()) {
        // Counts decide most places; only the values tied at the last place kept need the
        // alphabet, and comparing by count first keeps the choice linear.
        std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(keep),
                         values.end(), before);
        values.resize(keep);
    }
    std::sort(values.begin(), values.end(), before);
}

bool IsBlank(char32_t c) {
    return c == ' ' || c == '\t' || c == 0xA0;
}

// ş ţ Ş Ţ (cedilla) and ș ț Ș Ț (comma below) in one text.
void Forms(std::string_view s, bool& cedilla, bool& comma) {
    size_t i = 0;
    while (i < s.size()) {
        const long cp = utf8::NextCodePoint(s, i);
        if (cp == 0x15E || cp == 0x15F || cp == 0x162 || cp == 0x163) cedilla = true;
        if (cp == 0x218 || cp == 0x219 || cp == 0x21A || cp == 0x21B) comma = true;
    }
}

std::string NumberText(double v) {
    if (std::fabs(v) < 1e15 && v == std::floor(v)) return std::to_string(static_cast<int64_t>(v));
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

// Equal-width bins over [lo, hi] with round bounds for numbers, whole days for dates.
std::vector<HistogramBin> Histogram(const std::vector<double>& values, double lo, double hi,
                                    bool dates, const FormatSettings& format) {
    std::vector<HistogramBin> bins;
    if (values.empty()) return bins;
    constexpr int kBins = 10;
    double width = (hi - lo) / kBins;
    if (width <= 0) width = 1;
    if (!dates) {
        const double step = std::pow(10.0, std::floor(std::log10(width)));
        for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
            if (step * m >= width) {
                width = step * m;
                break;
            }
        lo = std::floor(lo / width) * width;
    } else {
        width = std::ceil(width);
        lo = std::floor(lo);  // whole days: a bin's bounds are dates the filter can name
    }
    int count = static_cast<int>(std::floor((hi - lo) / width)) + 1;
    count = std::clamp(count, 1, kBins + 2);
    for (int i = 0; i < count; ++i) {
        HistogramBin b;
        b.low = lo + i * width;
        // The next bin's low exactly: a filter on low <= v < high keeps the bin's rows.
        b.high = lo + (i + 1) * width;
        if (dates)
            b.label = FormatDate(static_cast<int>(b.low), format.shortDateFormat) + " - " +
                      FormatDate(static_cast<int>(b.high) - 1, format.shortDateFormat);
        else
            b.label = NumberText(b.low) + " - " + NumberText(b.high);
        bins.push_back(b);
    }
    for (double v : values) {
        const auto above = std::upper_bound(
            bins.begin(), bins.end(), v, [](double x, const HistogramBin& b) { return x < b.low; });
        const auto i = above == bins.begin() ? 0 : static_cast<size_t>(above - bins.begin()) - 1;
        bins[i].count++;
    }
    return bins;
}

// A row's key: character fields their stored bytes (decoded once per distinct value), the
// others their stored bytes with the null bit (their text form made once per distinct value, and
// keys of one text merged afterwards: "1.5" and " 1.50" show alike).
class KeyReader {
  public:
    KeyReader(const DbfFile& file, int field, const FormatSettings& format)
        : file_(file),
          layout_(file.FieldAt(field)),
          reader_(file.Layout(), layout_),
          format_(format),
          character_(layout_.def.type == 'C' || layout_.def.type == 'V') {}
    // The key of the record; valid until the next call.
    std::string_view Key(const uint8_t* record) {
        record_ = record;
        if (character_) return reader_.Text(record);
        const FieldValue v = reader_.Read(record);
        if (Canonical()) {
            // N F show their stored digits: those, trimmed, are the text's one key.
            buffer_.assign(v.IsEmpty() ? std::string_view() : v.text);
            buffer_ += v.IsEmpty() ? '\0' : v.kind == ValueKind::Number ? '\1' : '\2';
            return buffer_;
        }
        buffer_.assign(v.IsEmpty() ? std::string_view()
                                   : std::string_view(
                                         reinterpret_cast<const char*>(record) + layout_.def.offset,
                                         static_cast<size_t>(layout_.def.size)));
        buffer_ += v.IsEmpty() ? '\0' : '\1';
        return buffer_;
    }
    // The text of the key Key() gave last (for non-character fields), or empty.
    std::string NewText() const {
        if (character_) return {};
        std::string text;
        file_.Codec().AppendText(text, record_, layout_, format_);
        return text;
    }
    std::string Text(std::string_view key, const KeyEntry& entry) const {
        return character_ ? file_.Page().Decode(key) : entry.text;
    }
    bool Character() const { return character_; }
    // One key per shown text: no merging of keys afterwards.
    bool Canonical() const { return layout_.def.type == 'N' || layout_.def.type == 'F'; }

  private:
    const DbfFile& file_;
    const FieldLayout& layout_;
    FieldReader reader_;
    const FormatSettings& format_;
    bool character_;
    const uint8_t* record_ = nullptr;
    std::string buffer_;
};

std::string Quoted(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

void RequireNotMemo(const Table& table, int field) {
    const FieldDef& f = table.Field(field);
    if (f.IsMemo())
        throw DbfError(ErrorKind::State, "Coloana " + f.name + " este memo: nu se poate numara.");
}

}  // namespace

std::string FigureText(const ColumnProfile& p, double value, const FormatSettings& format) {
    if (p.kind == ProfileKind::Date)
        return FormatDate(static_cast<int>(std::floor(value)), format.shortDateFormat);
    std::string t;
    if (std::fabs(value) < 1e15 && value == std::floor(value)) {
        t = std::to_string(static_cast<int64_t>(value));
    } else {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.4f", value);
        t = buf;
        while (t.back() == '0') t.pop_back();
        if (t.back() == '.') t.pop_back();
    }
    std::replace(t.begin(), t.end(), '.', format.decimalSeparator);
    return t;
}

std::vector<std::pair<std::string, std::string>> ProfileFigures(const ColumnProfile& p,
                                                                const FormatSettings& format) {
    std::vector<std::pair<std::string, std::string>> f;
    const auto share = [&](int64_t n, int64_t of) {
        char buf[32];
        std::snprintf(buf, sizeof buf, " (%.1f%%)", of ? 100.0 * double(n) / double(of) : 0.0);
        std::string s = buf;
        std::replace(s.begin(), s.end(), '.', format.decimalSeparator);
        return GroupedThousands(n) + s;
    };
    f.emplace_back("Linii", GroupedThousands(p.rows));
    f.emplace_back("Completate", share(p.filled, p.rows));
    f.emplace_back("Goale", share(p.empty, p.rows));
    f.emplace_back("Valori distincte",
                   GroupedThousands(p.distinct) + (p.approximate ? " (aproximativ)" : ""));
    switch (p.kind) {
        case ProfileKind::Text:
            if (p.filled > 0) {
                f.emplace_back("Cea mai scurta",
                               "\"" + p.shortest + "\" (" + std::to_string(p.shortestLength) + ")");
                f.emplace_back("Cea mai lunga",
                               "\"" + p.longest + "\" (" + std::to_string(p.longestLength) + ")");
            }
            f.emplace_back("Cu spatii la inceput sau la sfarsit", GroupedThousands(p.blanksAround));
            f.emplace_back("Cu \xC5\x9F \xC5\xA3 (sedila)", GroupedThousands(p.cedillaForms));
            f.emplace_back("Cu \xC8\x99 \xC8\x9B (virgula)", GroupedThousands(p.commaForms));
            f.emplace_back("Amesteca cele doua forme", GroupedThousands(p.mixedForms));
            break;
        case ProfileKind::Number:
        case ProfileKind::Date:
            if (p.values > 0) {
                f.emplace_back("Minim", FigureText(p, p.minimum, format));
                f.emplace_back("Maxim", FigureText(p, p.maximum, format));
                if (p.kind == ProfileKind::Number)
                    f.emplace_back("Suma", FigureText(p, p.sum, format));
                f.emplace_back("Media", FigureText(p, p.mean, format));
                f.emplace_back("Mediana", FigureText(p, p.median, format));
            }
            break;
        case ProfileKind::Logical:
            f.emplace_back("Adevarat", GroupedThousands(p.trueCount));
            f.emplace_back("Fals", GroupedThousands(p.falseCount));
            break;
    }
    if (p.cnp) {
        const CnpFigures& c = *p.cnp;
        f.emplace_back("CNP corecte", share(c.Valid(), p.filled));
        f.emplace_back("CNP incorecte", share(c.Invalid(), p.filled));
        for (int i = 1; i < kCnpFaultCount; ++i)
            f.emplace_back(std::string("  ") + CnpFaultText(static_cast<CnpFault>(i)),
                           GroupedThousands(c.byFault[static_cast<size_t>(i)]));
        f.emplace_back("Barbati", GroupedThousands(c.male));
        f.emplace_back("Femei", GroupedThousands(c.female));
    }
    return f;
}

int64_t CnpFigures::Invalid() const {
    int64_t n = 0;
    for (size_t i = 1; i < byFault.size(); ++i) n += byFault[i];
    return n;
}

int AgeGroupOf(int age) {
    return std::clamp(age / 5, 0, kAgeGroups - 1);
}

std::string AgeGroupLabel(int group) {
    if (group >= kAgeGroups - 1) return std::to_string(group * 5) + "+";
    return std::to_string(group * 5) + "-" + std::to_string(group * 5 + 4);
}

ColumnProfile ProfileColumn(Table& table, int field, const ProfileOptions& options) {
    RequireNotMemo(table, field);
    RegisterCnpFilterFunctions();  // the conditions a click on a figure makes call them
    const DbfFile& file = table.Data();
    const FieldLayout& layout = file.FieldAt(field);
    const char type = layout.def.type;
    ColumnProfile p;
    p.column = layout.def.name;
    switch (layout.def.Kind()) {
        case FieldKind::Number:
            p.kind = ProfileKind::Number;
            break;
        case FieldKind::Date:
            p.kind = ProfileKind::Date;
            break;
        case FieldKind::Logical:
            p.kind = ProfileKind::Logical;
            break;
        case FieldKind::Text:
        case FieldKind::Other:
            p.kind = ProfileKind::Text;
    }
    const FormatSettings& format = table.Format();
    KeyReader keys(file, field, format);
    const FieldReader reader(file.Layout(), layout);
    KeyCounter counter(options.distinctLimit);
    std::vector<double> values;
    // A personal code is read from its stored digits whatever the field's type.
    const bool cnpCandidate = options.forceCnp || type == 'C' || type == 'V' || type == 'N';
    CnpFigures cnp;
    std::array<int64_t, 100> counties{};
    int64_t thirteenDigits = 0;
    const int today = options.today > 0 ? options.today : TodayDayNumber();

    const int64_t total = table.RecordCount();
    for (int64_t row = 0; row < total && Checkpoint(options.progress, row, total); ++row) {
        const uint8_t* record = table.RecordAt(static_cast<int>(row));
        if (!record) break;
        ++p.rows;
        const FieldValue v = reader.Read(record);
        if (v.IsEmpty() || (v.kind == ValueKind::Text && TrimStored(v.text).empty())) {
            ++p.empty;
            continue;
        }
        ++p.filled;
        counter.Add(keys.Key(record), [&](std::string_view) { return keys.NewText(); });
        if (v.kind == ValueKind::Number) {
            values.push_back(v.number);
        } else if (v.kind == ValueKind::Date || v.kind == ValueKind::DateTime) {
            values.push_back(static_cast<double>(v.day) + static_cast<double>(v.ms) / kMsPerDay);
        } else if (v.kind == ValueKind::Bool) {
            ++(v.flag ? p.trueCount : p.falseCount);
        }
        if (cnpCandidate && (v.kind == ValueKind::Text || v.kind == ValueKind::Number ||
                             v.kind == ValueKind::Invalid)) {
            const std::string_view code = v.text;  // digits are the same bytes in every page
            const CnpFault fault = CnpFaultOf(code);
            cnp.byFault[static_cast<size_t>(fault)]++;
            if (code.size() == static_cast<size_t>(kCnpLength) &&
                code.find_first_not_of("0123456789") == std::string_view::npos)
                ++thirteenDigits;
            if (fault == CnpFault::None || fault == CnpFault::County) {
                const bool male = code[0] == '1' || code[0] == '5' || code[0] == '7' ||
                                  code[0] == '9';  // CnpSex's rule, without its string
                ++(male ? cnp.male : cnp.female);
                const int age = CnpAgeAt(code, today);
                if (age >= 0) ++(male ? cnp.ageMale : cnp.ageFemale)[AgeGroupOf(age)];
                counties[static_cast<size_t>(CnpCountyCode(code))]++;
            }
        }
    }
    if (options.progress) options.progress(total, total);

    p.approximate = counter.Approximate();
    p.distinct = counter.Distinct();
    std::vector<ValueCount> all;
    all.reserve(counter.Size());
    // Keys that show the same text are one value (a character key is its text's bytes).
    std::vector<ValueCount> shown;
    shown.reserve(counter.Size());
    if (!keys.Character() && !keys.Canonical()) {
        std::unordered_map<std::string, size_t> at;
        counter.ForEach([&](std::string_view, KeyEntry& e) {
            const auto [it, added] = at.emplace(e.text, shown.size());
            if (added) shown.push_back({e.text, 0});
            shown[it->second].count += e.count;
        });
        if (!p.approximate) p.distinct = static_cast<int64_t>(shown.size());
    } else {
        counter.ForEach([&](std::string_view key, KeyEntry& e) {
            shown.push_back({keys.Text(key, e), e.count});
        });
        if (!p.approximate) p.distinct = static_cast<int64_t>(shown.size());
    }
    counter.Clear();
    for (ValueCount& vc : shown) {
        const int64_t count = vc.count;
        if (p.kind == ProfileKind::Text) {
            const int length = static_cast<int>(utf8::CharCount(vc.text));
            if (p.shortest.empty() && p.longest.empty() && p.longestLength == 0) {
                p.shortest = p.longest = vc.text;
                p.shortestLength = p.longestLength = length;
            } else {
                // Of equal lengths the first by bytes: the same answer on every run.
                if (length < p.shortestLength ||
                    (length == p.shortestLength && vc.text < p.shortest)) {
                    p.shortest = vc.text;
                    p.shortestLength = length;
                }
                if (length > p.longestLength ||
                    (length == p.longestLength && vc.text < p.longest)) {
                    p.longest = vc.text;
                    p.longestLength = length;
                }
            }
            size_t first = 0, end = vc.text.size();
            const char32_t head = static_cast<char32_t>(utf8::NextCodePoint(vc.text, first));
            const bool blankEnd =
                !vc.text.empty() && (vc.text[end - 1] == ' ' || vc.text[end - 1] == '\t' ||
                                     vc.text.ends_with("\xC2\xA0"));
            if (IsBlank(head) || blankEnd) {
                p.blanksAround += count;
                p.blanksExamples.push_back(vc.text);
            }
            bool cedilla = false, comma = false;
            Forms(vc.text, cedilla, comma);
            if (cedilla) p.cedillaForms += count;
            if (comma) p.commaForms += count;
            if (cedilla && comma) {
                p.mixedForms += count;
                p.mixedExamples.push_back(vc.text);
            }
        }
        all.push_back(std::move(vc));
    }
    for (auto* examples : {&p.blanksExamples, &p.mixedExamples}) FirstInOrder(*examples, kExamples);
    RankValues(all, static_cast<size_t>(std::max(options.topCount, 0)),
               p.kind == ProfileKind::Text);
    p.top = std::move(all);

    if (!values.empty()) {
        p.values = static_cast<int64_t>(values.size());
        const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
        p.minimum = *lo;
        p.maximum = *hi;
        double sum = 0;
        for (double x : values) sum += x;
        p.sum = sum;
        p.mean = sum / static_cast<double>(values.size());
        const size_t mid = values.size() / 2;
        std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid),
                         values.end());
        p.median = values[mid];
        if (values.size() % 2 == 0) {
            const double below = *std::max_element(
                values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid));
            p.median = (p.median + below) / 2;
        }
        p.histogram = Histogram(values, p.minimum, p.maximum, p.kind == ProfileKind::Date, format);
    }

    if (cnpCandidate) {
        cnp.detected = p.filled > 0 && thirteenDigits * 2 > p.filled;
        if (options.forceCnp || cnp.detected) {
            for (int code = 0; code < 100; ++code) {
                if (!counties[static_cast<size_t>(code)]) continue;
                const std::string_view name = CnpCountyName(code);
                cnp.counties.push_back({name.empty() ? "necunoscut" : std::string(name),
                                        counties[static_cast<size_t>(code)]});
            }
            // Unassigned numbers all read "necunoscut": one bar.
            std::vector<ValueCount> merged;
            for (auto& c : cnp.counties) {
                auto it = std::find_if(merged.begin(), merged.end(),
                                       [&](const ValueCount& m) { return m.text == c.text; });
                if (it == merged.end())
                    merged.push_back(c);
                else
                    it->count += c.count;
            }
            RankValues(merged, merged.size());
            cnp.counties = std::move(merged);
            p.cnp = std::move(cnp);
        }
    }
    return p;
}

GroupCounts CountByValues(Table& table, const std::vector<int>& fields, int sumField,
                          CountOrder order, const ProfileProgress& progress) {
    if (fields.empty() || fields.size() > 2)
        throw DbfError(ErrorKind::State, "Alegeti una sau doua coloane.");
    for (int f : fields) RequireNotMemo(table, f);
    const DbfFile& file = table.Data();
    const FormatSettings& format = table.Format();
    std::vector<KeyReader> readers;
    readers.reserve(fields.size());
    GroupCounts result;
    for (int f : fields) {
        readers.emplace_back(file, f, format);
        result.columns.push_back(table.Field(f).name);
    }
    std::optional<FieldReader> sumReader;
    if (sumField >= 0) {
        const FieldLayout& s = file.FieldAt(sumField);
        const char t = s.def.type;
        if (!(t == 'N' || t == 'F' || t == 'I' || t == 'B' || t == 'Y' || t == 'O' || t == '+'))
            throw DbfError(ErrorKind::State,
                           "Coloana " + s.def.name + " nu este numerica: nu se poate aduna.");
        sumReader.emplace(file.Layout(), s);
        result.sumColumn = s.def.name;
        result.sumDecimals = s.def.decimals;
    }
    // Key: each column's key after its length; the entry's text: each column's text the same way.
    const auto pack = [](std::string& out, std::string_view part) {
        const auto n = static_cast<uint32_t>(part.size());
        out.append(reinterpret_cast<const char*>(&n), sizeof n);
        out.append(part);
    };
    const auto unpack = [](std::string_view packed) {
        std::vector<std::string> parts;
        while (packed.size() >= sizeof(uint32_t)) {
            uint32_t n = 0;
            std::memcpy(&n, packed.data(), sizeof n);
            packed.remove_prefix(sizeof n);
            parts.emplace_back(packed.substr(0, n));
            packed.remove_prefix(std::min<size_t>(n, packed.size()));
        }
        return parts;
    };
    bool allCharacter = true;
    for (const KeyReader& r : readers) allCharacter = allCharacter && r.Character();
    KeyCounter counter;
    std::string key, texts;
    const int64_t total = table.RecordCount();
    for (int64_t row = 0; row < total && Checkpoint(progress, row, total); ++row) {
        const uint8_t* record = table.RecordAt(static_cast<int>(row));
        if (!record) break;
        ++result.rows;
        key.clear();
        for (KeyReader& r : readers) pack(key, r.Key(record));
        KeyEntry& entry = counter.Add(key, [&](std::string_view) {
            if (allCharacter) return std::string();  // the key's bytes are the texts
            texts.clear();
            for (KeyReader& r : readers) {
                r.Key(record);
                pack(texts, r.Character() ? r.Text(r.Key(record), KeyEntry{}) : r.NewText());
            }
            return texts;
        });
        if (sumReader) {
            const FieldValue v = sumReader->Read(record);
            if (v.kind == ValueKind::Number) entry.sum += v.number;
        }
    }
    if (progress) progress(total, total);
    result.approximate = counter.Approximate();
    // Keys that show the same texts are one group: merged where a text has more than one key.
    bool canonical = true;
    for (const KeyReader& r : readers) canonical = canonical && (r.Character() || r.Canonical());
    std::unordered_map<std::string, size_t> index;
    result.groups.reserve(counter.Size());
    counter.ForEach([&](std::string_view k, KeyEntry& entry) {
        size_t at = result.groups.size();
        if (!canonical) at = index.emplace(entry.text, at).first->second;
        if (at == result.groups.size()) {
            GroupCount g;
            if (allCharacter) {
                g.keys = unpack(k);
                for (std::string& part : g.keys) part = file.Page().Decode(part);
            } else {
                g.keys = unpack(entry.text);
            }
            result.groups.push_back(std::move(g));
        }
        GroupCount& g = result.groups[at];
        g.count += entry.count;
        g.sum += entry.sum;
    });
    counter.Clear();
    const auto byValue = [](const GroupCount& a, const GroupCount& b) {
        for (size_t i = 0; i < a.keys.size(); ++i)
            if (const int c = RomanianCompare(a.keys[i], b.keys[i]); c != 0) return c < 0;
        return false;
    };
    if (order == CountOrder::ByValue)
        std::sort(result.groups.begin(), result.groups.end(), byValue);
    else
        std::sort(result.groups.begin(), result.groups.end(),
                  [&](const GroupCount& a, const GroupCount& b) {
                      return a.count != b.count ? a.count > b.count : byValue(a, b);
                  });
    return result;
}

void WriteCountsTable(const GroupCounts& counts, const std::string& path,
                      const std::string& codePage) {
    DbfWriter::Definition d;
    d.codePage = codePage;
    const auto page = CodePage::Get(codePage);
    std::vector<std::string> names = counts.columns;
    for (size_t i = 0; i < counts.columns.size(); ++i) {
        size_t width = 1;
        for (const GroupCount& g : counts.groups)
            width = std::max(width, page->IsUtf8() ? g.keys[i].size() : utf8::CharCount(g.keys[i]));
        FieldDef f;
        f.name = names[i];
        f.type = 'C';
        f.size = static_cast<int>(std::min<size_t>(width, 254));
        d.fields.push_back(f);
    }
    FieldDef n;
    n.name = "NUMAR";
    n.type = 'N';
    n.size = 12;
    d.fields.push_back(n);
    if (!counts.sumColumn.empty()) {
        FieldDef s;
        s.name = "SUMA";
        s.type = 'N';
        s.decimals = std::clamp(counts.sumDecimals, 0, 15);
        s.size = 18 + (s.decimals ? s.decimals + 1 : 0);
        d.fields.push_back(s);
    }
    const FormatSettings format{'.', "dd.MM.yyyy"};
    DbfWriter w(path, d);
    for (const GroupCount& g : counts.groups) {
        w.BeginRow();
        for (size_t i = 0; i < g.keys.size(); ++i)
            w.SetText(static_cast<int>(i), g.keys[i], format);
        w.SetText(static_cast<int>(g.keys.size()), std::to_string(g.count), format);
        if (!counts.sumColumn.empty())
            w.SetDouble(static_cast<int>(g.keys.size()) + 1, g.sum, format);
        w.EndRow();
    }
    w.Commit();
}

namespace {

// Runs a walk with the window disabled; the bar and "&Renunt" come once it has taken half a
// second, so a short one does not flash them.
template <class Walk>
auto Shown(Workspace& ws, Walk walk) -> std::optional<decltype(walk(ProfileProgress{}))> {
    CommandGuard guard(ws, {.disableWindow = true, .busyCursor = true, .freezeGrid = false});
    const auto started = std::chrono::steady_clock::now();
    bool shown = false;
    const ProfileProgress progress = [&](int64_t done, int64_t total) {
        if (!shown && std::chrono::steady_clock::now() - started > std::chrono::milliseconds(500)) {
            guard.ShowBar(static_cast<int>(std::min<int64_t>(total, INT32_MAX)));
            guard.ShowStopButton();
            shown = true;
        }
        if (shown) ws.progress.ProgressSet(static_cast<int>(std::min<int64_t>(done, INT32_MAX)));
        ws.progress.ProcessMessages();
        return !ws.progress.StopRequested();
    };
    try {
        auto result = walk(progress);
        guard.Finish();
        return result;
    } catch (const ProfileStopped&) {
        guard.Finish();
        return std::nullopt;
    }
}

}  // namespace

std::optional<ColumnProfile> ProfileColumnShown(Workspace& ws, int field, bool forceCnp) {
    return Shown(ws, [&](const ProfileProgress& progress) {
        ProfileOptions options;
        options.forceCnp = forceCnp;
        options.progress = progress;
        return ProfileColumn(ws.table, field, options);
    });
}

std::optional<GroupCounts> CountByValuesShown(Workspace& ws, const std::vector<int>& fields,
                                              int sumField, CountOrder order) {
    return Shown(ws, [&](const ProfileProgress& progress) {
        return CountByValues(ws.table, fields, sumField, order, progress);
    });
}

std::string ValueCondition(const Table& table, int field, const std::string& text) {
    const FieldDef& f = table.Field(field);
    const std::string name = f.name;
    if (!text.empty() && text.back() == '*' && (f.type == 'C' || f.type == 'V'))
        // A star at the end means "any ending" to '=': the order's bounds keep it a character.
        return name + ">=" + Quoted(text) + " AND " + name + "<=" + Quoted(text);
    return name + "=" + Quoted(text);
}

std::string BinCondition(const Table& table, int field, const HistogramBin& bin) {
    const FieldDef& f = table.Field(field);
    const bool date = f.type == 'D' || f.type == 'T' || f.type == '@';
    const auto constant = [&](double v) {
        if (date)
            return Quoted(
                FormatDate(static_cast<int>(std::floor(v)), table.Format().shortDateFormat));
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.17g", v);
        return std::string(buf);
    };
    return f.name + ">=" + constant(bin.low) + " AND " + f.name + "<" + constant(bin.high);
}

std::string CnpFaultCondition(const std::string& column, CnpFault fault) {
    if (fault == CnpFault::None) return "CNPMOTIV(" + column + ")='' AND " + column + "<>''";
    return "CNPMOTIV(" + column + ")=" + Quoted(CnpFaultName(fault));
}

std::string CnpInvalidCondition(const std::string& column) {
    return "CNPMOTIV(" + column + ")<>''";
}

std::string CnpSexCondition(const std::string& column, bool male) {
    return "CNPSEX(" + column + ")=" + Quoted(male ? "masculin" : "feminin");
}

std::string CnpAgeCondition(const std::string& column, int group, bool male) {
    std::string c = CnpSexCondition(column, male) + " AND CNPVARSTA(" + column +
                    ")>=" + std::to_string(group * 5);
    if (group < kAgeGroups - 1)
        c += " AND CNPVARSTA(" + column + ")<=" + std::to_string(group * 5 + 4);
    return c;
}

std::string CnpCountyCondition(const std::string& column, const std::string& county) {
    return "CNPJUDET(" + column + ")=" + Quoted(county);
}

std::string WithinFilter(const Table& table, const std::string& condition) {
    if (!table.Filtered() || table.FilterText().empty()) return condition;
    return "(" + table.FilterText() + ") AND (" + condition + ")";
}

}  // namespace orbelan
