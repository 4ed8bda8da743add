#pragma once
// The compiled conditions of a filter: readers that turn a field of the raw record into a
// comparable value without allocating, and the nodes that compare and combine them.
// Only the filter's own files include this.
#include <charconv>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/field_value.h"
#include "engine/filter.h"
#include "engine/romanian_order.h"

namespace orbelan {

// ---------------------------------------------------------------- compiled conditions

struct FilterExpression::Node {
    virtual ~Node() = default;
    virtual bool Eval(const uint8_t* record) const = 0;
};

namespace filter_detail {

using Node = FilterExpression::Node;

enum class Op { Eq, Ne, Lt, Gt, Le, Ge };

inline bool Holds(Op op, int c) {
    switch (op) {
        case Op::Eq:
            return c == 0;
        case Op::Ne:
            return c != 0;
        case Op::Lt:
            return c < 0;
        case Op::Gt:
            return c > 0;
        case Op::Le:
            return c <= 0;
        case Op::Ge:
            return c >= 0;
    }
    return false;
}

// a < b reads b > a when the operands change places.
inline Op Mirrored(Op op) {
    switch (op) {
        case Op::Lt:
            return Op::Gt;
        case Op::Gt:
            return Op::Lt;
        case Op::Le:
            return Op::Ge;
        case Op::Ge:
            return Op::Le;
        default:
            return op;
    }
}

inline int CompareBytes(std::string_view a, std::string_view b) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    const int c = n ? std::memcmp(a.data(), b.data(), n) : 0;  // memcmp orders unsigned bytes
    if (c != 0) return c < 0 ? -1 : 1;
    return (a.size() > b.size()) - (a.size() < b.size());
}

// Writers pad text with blanks, some with NULs.
inline std::string_view TrimRight(const char* p, size_t n) {
    while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0')) --n;
    return {p, n};
}

inline std::string_view Trim(const char* p, size_t n) {
    std::string_view s = TrimRight(p, n);
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    return s;
}

enum State : uint8_t { kEmpty, kValue, kInvalid };

inline int CompareStates(State a, State b) {
    return (a != kEmpty) - (b != kEmpty);
}

// ---- character fields

struct CharReader {
    using Value = std::string_view;
    FieldReader field;
    Value Read(const uint8_t* r) const { return field.Text(r); }
    static int Compare(Value a, Value b) { return CompareBytes(a, b); }
};

// ---- numeric fields

struct NumValue {
    State state = kEmpty;
    double v = 0;
    std::string_view text;  // stored or written text; empty for binary fields
};

struct NumReader {
    using Value = NumValue;
    FieldReader field;

    Value Read(const uint8_t* r) const {
        const FieldValue v = field.Read(r);
        NumValue n;
        if (v.kind == ValueKind::Number) {
            n.state = kValue;
            n.v = v.number;
            n.text = v.text;
        } else if (v.kind == ValueKind::Invalid) {
            n.state = kInvalid;
            n.text = v.text;
        }
        return n;
    }

    static std::string_view TextOf(const NumValue& n, char (&buf)[32]) {
        if (!n.text.empty()) return n.text;
        const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, n.v);
        return {buf, ec == std::errc() ? static_cast<size_t>(end - buf) : 0};
    }

    static int Compare(const NumValue& a, const NumValue& b) {
        if (a.state == kEmpty || b.state == kEmpty) return CompareStates(a.state, b.state);
        if (a.state == kValue && b.state == kValue) return (a.v > b.v) - (a.v < b.v);
        char ba[32], bb[32];
        return CompareBytes(TextOf(a, ba), TextOf(b, bb));
    }
};

// ---- dates: milliseconds from Julian day 0, so D and T fields compare with each other

inline constexpr int64_t kJulianOfDayZero = 2415019;  // 30 December 1899

inline int64_t MsOfDayNumber(int dayNumber) {
    return (dayNumber + kJulianOfDayZero) * kMsPerDay;
}

struct DateValue {
    State state = kEmpty;
    int64_t ms = 0;
    std::string_view text;
};

struct DateReader {
    using Value = DateValue;
    FieldReader field;

    Value Read(const uint8_t* r) const {
        const FieldValue v = field.Read(r);
        DateValue d;
        if (v.kind == ValueKind::Date || v.kind == ValueKind::DateTime) {
            d.state = kValue;
            d.ms = MsOfDayNumber(v.day) + v.ms;
        } else if (v.kind == ValueKind::Invalid) {
            d.state = kInvalid;
            d.text = v.text;
        }
        return d;
    }

    static int Compare(const DateValue& a, const DateValue& b) {
        if (a.state == kEmpty || b.state == kEmpty) return CompareStates(a.state, b.state);
        if (a.state == kValue && b.state == kValue) return (a.ms > b.ms) - (a.ms < b.ms);
        return CompareBytes(a.text, b.text);
    }
};

// ---- logical fields: empty < false < true

struct LogicalValue {
    State state = kEmpty;
    int v = 0;
    std::string_view text;
};

struct LogicalReader {
    using Value = LogicalValue;
    FieldReader field;

    Value Read(const uint8_t* r) const {
        const FieldValue v = field.Read(r);
        LogicalValue l;
        if (v.kind == ValueKind::Bool) {
            l.state = kValue;
            l.v = v.flag ? 1 : 0;
        }
        return l;
    }

    static int Compare(const LogicalValue& a, const LogicalValue& b) {
        if (a.state == kEmpty || b.state == kEmpty) return CompareStates(a.state, b.state);
        if (a.state == kValue && b.state == kValue) return a.v - b.v;
        return CompareBytes(a.text, b.text);
    }
};

// ---- nodes

template <class Reader>
struct ConstCompare final : Node {
    Reader reader;
    Op op;
    std::string constText;  // owns the bytes the constant's text view points at
    typename Reader::Value constant;

    bool Eval(const uint8_t* r) const override {
        return Holds(op, Reader::Compare(reader.Read(r), constant));
    }
};

template <class Reader>
struct FieldCompare final : Node {
    Reader left, right;
    Op op;
    bool Eval(const uint8_t* r) const override {
        return Holds(op, Reader::Compare(left.Read(r), right.Read(r)));
    }
};

// Text before or after other text: Romanian alphabetical order, as the sort has it.
struct CharOrderCompare final : Node {
    CharReader left, right;  // right unused for a constant
    const RomanianOrder* order = nullptr;
    Op op;
    bool constant = true;
    std::string constText;
    std::string_view constView;
    bool Eval(const uint8_t* r) const override {
        const std::string_view b = constant ? constView : right.Read(r);
        return Holds(op, order->Compare(left.Read(r), b));
    }
};

struct CharPrefix final : Node {
    CharReader reader;
    std::string prefix;
    bool negate = false;
    bool Eval(const uint8_t* r) const override {
        const std::string_view v = reader.Read(r);
        // A null value has no bytes at all: memcmp must not see its null pointer.
        const bool starts =
            prefix.empty() ||
            (v.size() >= prefix.size() && std::memcmp(v.data(), prefix.data(), prefix.size()) == 0);
        return starts != negate;
    }
};

struct MemoCompare final : Node {
    MemoBytesReader read;
    const FieldLayout* layout = nullptr;
    std::string text;
    bool prefix = false;
    Op op = Op::Eq;
    bool Eval(const uint8_t* r) const override {
        const std::string v = read(r, *layout);
        if (prefix) return (v.compare(0, text.size(), text) == 0) != (op == Op::Ne);
        return Holds(op, CompareBytes(v, text));
    }
};

// NAME(FIELD) compared with a constant: the field's text in UTF-8 through a registered function.
struct FunctionCompare final : Node {
    FieldReader field;
    const CodePage* page = nullptr;
    std::function<std::string(std::string_view)> apply;
    bool numeric = false;
    Op op = Op::Eq;
    std::string constText;
    NumValue constNumber;
    bool Eval(const uint8_t* r) const override {
        const FieldValue v = field.Read(r);
        std::string text;
        if (v.kind == ValueKind::Text || v.kind == ValueKind::Bytes)
            text = page->Decode(v.text);
        else if (v.kind == ValueKind::Number || v.kind == ValueKind::Invalid)
            text = std::string(v.text);
        const std::string result = apply(text);
        if (!numeric) return Holds(op, CompareBytes(result, constText));
        NumValue n;
        if (!result.empty()) {
            n.state = kValue;
            std::from_chars(result.data(), result.data() + result.size(), n.v);
        }
        return Holds(op, NumReader::Compare(n, constNumber));
    }
};

struct LogicalIsTrue final : Node {
    LogicalReader reader;
    bool Eval(const uint8_t* r) const override {
        const LogicalValue v = reader.Read(r);
        return v.state == kValue && v.v == 1;
    }
};

struct AndNode final : Node {
    std::unique_ptr<Node> a, b;
    bool Eval(const uint8_t* r) const override { return a->Eval(r) && b->Eval(r); }
};

struct OrNode final : Node {
    std::unique_ptr<Node> a, b;
    bool Eval(const uint8_t* r) const override { return a->Eval(r) || b->Eval(r); }
};

struct NotNode final : Node {
    std::unique_ptr<Node> a;
    bool Eval(const uint8_t* r) const override { return !a->Eval(r); }
};

}  // namespace filter_detail
}  // namespace orbelan
