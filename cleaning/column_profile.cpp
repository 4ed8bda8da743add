#include "cleaning/column_profile.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cmath>
#include <cstdio>
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

struct KeyHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
using CountMap = std::unordered_map<std::string, int64_t, KeyHash, std::equal_to<>>;

// Counts of keys, exact up to kExactDistinctLimit; past it the rarest are dropped in rounds, so
// memory stays bounded and the frequent keys keep counts close to the truth.
class KeyCounter {
  public:
    explicit KeyCounter(size_t limit = kExactDistinctLimit) : limit_(std::max<size_t>(limit, 2)) {
        map_.reserve(std::min<size_t>(limit_, 1024));
    }
    void Add(std::string_view key, int64_t n = 1) {
        if (const auto it = map_.find(key); it != map_.end()) {
            it->second += n;
            return;
        }
        if (map_.size() >= limit_) Prune();
        map_.emplace(std::string(key), n);
        ++seen_;
    }
    CountMap& Map() { return map_; }
    bool Approximate() const { return approximate_; }
    int64_t Distinct() const { return approximate_ ? seen_ : static_cast<int64_t>(map_.size()); }

  private:
    void Prune() {
        approximate_ = true;
        // The fewest counts go first, as few rounds as it takes to free half the room.
        for (int64_t floor = 1; map_.size() >= limit_ / 2; ++floor)
            std::erase_if(map_, [&](const auto& e) { return e.second <= floor; });
    }
    size_t limit_;
    CountMap map_;
    int64_t seen_ = 0;  // keys ever added: past the limit, a key dropped and seen again counts twice
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

// Most first; equal counts in Romanian order.
void RankValues(std::vector<ValueCount>& values, size_t keep) {
    const auto before = [](const ValueCount& a, const ValueCount& b) {
        if (a.count != b.count) return a.count > b.count;
        return Utf8Order().Compare(a.text, b.text) < 0;
    };
    keep = std::min(keep, values.size());
    std::partial_sort(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(keep),
                      values.end(), before);
    values.resize(keep);
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
        const auto above = std::upper_bound(bins.begin(), bins.end(), v,
                                            [](double x, const HistogramBin& b) { return x < b.low; });
        const auto i = above == bins.begin() ? 0 : static_cast<size_t>(above - bins.begin()) - 1;
        bins[i].count++;
    }
    return bins;
}

// The text a row's key stands for: character fields keep their stored bytes (decoded once per
// distinct value afterwards), the others their text form.
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
        if (character_) return reader_.Text(record);
        buffer_.clear();
        file_.Codec().AppendText(buffer_, record, layout_, format_);
        return buffer_;
    }
    std::string Text(std::string_view key) const {
        return character_ ? file_.Page().Decode(key) : std::string(key);
    }
    bool Character() const { return character_; }

  private:
    const DbfFile& file_;
    const FieldLayout& layout_;
    FieldReader reader_;
    const FormatSettings& format_;
    bool character_;
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
                if (p.kind == ProfileKind::Number) f.emplace_back("Suma", FigureText(p, p.sum, format));
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
    switch (type) {
        case 'N': case 'F': case 'I': case 'B': case 'Y': case 'O': case '+':
            p.kind = ProfileKind::Number;
            break;
        case 'D': case 'T': case '@':
            p.kind = ProfileKind::Date;
            break;
        case 'L':
            p.kind = ProfileKind::Logical;
            break;
        default:
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
        counter.Add(keys.Key(record));
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
                const bool male = CnpSex(code) == "masculin";
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
    all.reserve(counter.Map().size());
    for (auto& [key, count] : counter.Map()) {
        ValueCount vc{keys.Text(key), count};
        if (p.kind == ProfileKind::Text) {
            const int length = static_cast<int>(utf8::CharCount(vc.text));
            if (p.shortest.empty() && p.longest.empty() && p.longestLength == 0) {
                p.shortest = p.longest = vc.text;
                p.shortestLength = p.longestLength = length;
            } else {
                const RomanianOrder& order = Utf8Order();
                if (length < p.shortestLength ||
                    (length == p.shortestLength && order.Compare(vc.text, p.shortest) < 0)) {
                    p.shortest = vc.text;
                    p.shortestLength = length;
                }
                if (length > p.longestLength ||
                    (length == p.longestLength && order.Compare(vc.text, p.longest) < 0)) {
                    p.longest = vc.text;
                    p.longestLength = length;
                }
            }
            size_t first = 0, end = vc.text.size();
            const char32_t head = static_cast<char32_t>(utf8::NextCodePoint(vc.text, first));
            const bool blankEnd = !vc.text.empty() && (vc.text[end - 1] == ' ' ||
                                                       vc.text[end - 1] == '\t' ||
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
    for (auto* examples : {&p.blanksExamples, &p.mixedExamples}) {
        std::sort(examples->begin(), examples->end(), [](const auto& a, const auto& b) {
            return Utf8Order().Compare(a, b) < 0;
        });
        if (examples->size() > kExamples) examples->resize(kExamples);
    }
    RankValues(all, static_cast<size_t>(std::max(options.topCount, 0)));
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
            const double below =
                *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid));
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
    // Key: the parts joined by a byte no text holds; sums beside the counts, by key.
    KeyCounter counter;
    std::unordered_map<std::string, double, KeyHash, std::equal_to<>> sums;
    std::string key;
    const int64_t total = table.RecordCount();
    for (int64_t row = 0; row < total && Checkpoint(progress, row, total); ++row) {
        const uint8_t* record = table.RecordAt(static_cast<int>(row));
        if (!record) break;
        ++result.rows;
        key.assign(readers[0].Key(record));
        if (readers.size() > 1) {
            key += '\x1F';
            key += readers[1].Key(record);
        }
        counter.Add(key);
        if (sumReader) {
            const FieldValue v = sumReader->Read(record);
            if (v.kind == ValueKind::Number) {
                if (const auto it = sums.find(std::string_view(key)); it != sums.end())
                    it->second += v.number;
                else
                    sums.emplace(key, v.number);
            }
        }
    }
    if (progress) progress(total, total);
    result.approximate = counter.Approximate();
    for (auto& [k, count] : counter.Map()) {
        GroupCount g;
        const size_t split = readers.size() > 1 ? k.find('\x1F') : std::string::npos;
        g.keys.push_back(readers[0].Text(std::string_view(k).substr(0, split)));
        if (readers.size() > 1) g.keys.push_back(readers[1].Text(k.substr(split + 1)));
        g.count = count;
        if (const auto it = sums.find(std::string_view(k)); it != sums.end()) g.sum = it->second;
        result.groups.push_back(std::move(g));
    }
    const auto& ro = Utf8Order();
    const auto byValue = [&](const GroupCount& a, const GroupCount& b) {
        for (size_t i = 0; i < a.keys.size(); ++i)
            if (const int c = ro.Compare(a.keys[i], b.keys[i]); c != 0) return c < 0;
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
        for (size_t i = 0; i < g.keys.size(); ++i) w.SetText(static_cast<int>(i), g.keys[i], format);
        w.SetText(static_cast<int>(g.keys.size()), std::to_string(g.count), format);
        if (!counts.sumColumn.empty()) w.SetDouble(static_cast<int>(g.keys.size()) + 1, g.sum, format);
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
        if (date) return Quoted(FormatDate(static_cast<int>(std::floor(v)), table.Format().shortDateFormat));
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
