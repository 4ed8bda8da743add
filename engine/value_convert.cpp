#include "engine/value_convert.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

#include "engine/date_util.h"
#include "engine/dbf_file.h"
#include "engine/dbf_writer.h"
#include "engine/errors.h"
#include "engine/field_codec.h"
#include "engine/text_parse.h"
#include "engine/trim.h"

namespace orbelan {
namespace {

Converted Fail(ConvertFailure failure, std::string reason) {
    return {failure, {}, std::move(reason)};
}

Converted Value(std::string text) {
    return {ConvertFailure::None, std::move(text), {}};
}

bool IsAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// The bytes the text takes in the page, or the failure of a character it lacks.
Converted Encodable(std::string_view text, const CodePage& page, size_t* bytes) {
    if (IsAscii(text) && page.AsciiIdentity()) {
        *bytes = text.size();
        return Value(std::string(text));
    }
    try {
        *bytes = page.Encode(text).size();
    } catch (const DbfError& e) {
        return Fail(ConvertFailure::MissingCharacter, e.what());
    }
    return Value(std::string(text));
}

std::string Digits(int value, int width) {
    std::string s = std::to_string(value);
    return std::string(s.size() < static_cast<size_t>(width) ? width - s.size() : 0, '0') + s;
}

std::string Ymd(int day) {
    const CivilDate d = CivilFromDayNumber(day);
    return Digits(d.year, 4) + Digits(d.month, 2) + Digits(d.day, 2);
}

std::string Overflowing(const FieldDef& target) {
    return "nu incape in " + FieldTypeText(target);
}

Converted Number(std::string_view text, const FieldDef& target, const FormatSettings& format) {
    const auto canon = CanonicalNumber(text, format.decimalSeparator);
    if (!canon) return Fail(ConvertFailure::NotANumber, "nu este un numar");
    if (canon->empty()) return Value({});
    switch (target.type) {
        case 'N':
        case 'F': {
            std::string digits = RoundDecimal(*canon, target.decimals);
            if (digits.size() > static_cast<size_t>(target.size))
                return Fail(ConvertFailure::Overflow, Overflowing(target));
            return Value(std::move(digits));
        }
        case 'I': {
            if (canon->find('.') != std::string::npos)
                return Fail(ConvertFailure::NotAnInteger, "nu este un numar intreg");
            errno = 0;
            const long long v = std::strtoll(canon->c_str(), nullptr, 10);
            if (errno != 0 || v < std::numeric_limits<int32_t>::min() ||
                v > std::numeric_limits<int32_t>::max())
                return Fail(ConvertFailure::Overflow, Overflowing(target));
            return Value(*canon);
        }
        case 'Y': {
            std::string scaled = RoundDecimal(*canon, 4);
            const size_t point = scaled.find('.');
            const size_t whole = point - (scaled[0] == '-' ? 1 : 0);
            // 922337203685477.5807 is the largest currency value.
            if (whole > 15 || (whole == 15 && scaled.substr(scaled[0] == '-', 15) >
                                                  std::string("922337203685477")))
                return Fail(ConvertFailure::Overflow, Overflowing(target));
            return Value(std::move(scaled));
        }
        default:  // B
            return Value(*canon);
    }
}

}  // namespace

Converted ConvertText(std::string_view text, const FieldDef& target, const CodePage& page,
                      const FormatSettings& format) {
    switch (target.type) {
        case 'C':
        case 'V': {
            size_t bytes = 0;
            Converted c = Encodable(text, page, &bytes);
            if (c.Ok() && bytes > static_cast<size_t>(target.size))
                return Fail(ConvertFailure::TooLong, "are " + std::to_string(bytes) +
                                                         " caractere; " + FieldTypeText(target) +
                                                         " are loc pentru " +
                                                         std::to_string(target.size));
            return c;
        }
        case 'M': {
            size_t bytes = 0;
            return Encodable(text, page, &bytes);
        }
        default:
            break;
    }
    const std::string_view value = TrimStored(text);
    if (value.empty()) return Value({});
    switch (target.type) {
        case 'N':
        case 'F':
        case 'I':
        case 'Y':
        case 'B':
            return Number(value, target, format);
        case 'D': {
            if (auto day = ParseDateText(value, format)) return Value(Ymd(*day));
            // A date-time goes to a date only when it has no time to lose.
            if (auto dt = ParseDateTimeText(value, format); dt && dt->ms == 0)
                return Value(Ymd(dt->day));
            return Fail(ConvertFailure::NotADate,
                        "nu este o data in formatul " + format.shortDateFormat);
        }
        case 'T': {
            auto dt = ParseDateTimeText(value, format);
            if (!dt)
                return Fail(ConvertFailure::NotADate,
                            "nu este o data in formatul " + format.shortDateFormat);
            const int64_t s = dt->ms / 1000;
            return Value(Ymd(dt->day) + ' ' + Digits(static_cast<int>(s / 3600), 2) + ':' +
                         Digits(static_cast<int>(s / 60 % 60), 2) + ':' +
                         Digits(static_cast<int>(s % 60), 2));
        }
        case 'L': {
            auto b = ParseLogicalText(value);
            if (!b) return Fail(ConvertFailure::NotALogical, "nu este o valoare logica (DA/NU)");
            return Value(*b ? "T" : "F");
        }
        default:
            return Fail(ConvertFailure::NotANumber,
                        "campul de tip " + std::string(1, target.type) + " nu poate primi valori");
    }
}

Converted ConvertField(const DbfFile& source, const uint8_t* record, int field,
                       const FieldDef& target, const CodePage& page, const FormatSettings& format) {
    const FieldDef& from = source.Fields()[static_cast<size_t>(field)];
    if (from.IsMemo()) {
        const MemoValue memo = source.MemoBytes(record, field);
        if (!memo.ok) return Fail(ConvertFailure::Unreadable, memo.bytes);
    }
    if (source.IsEmpty(record, field)) return Value({});
    std::string text = source.Text(record, field, format);
    if (from.type == 'L' && (target.type == 'C' || target.type == 'V') &&
        text.size() > static_cast<size_t>(target.size) && !text.empty())
        text.resize(1);  // "True" -> "T"
    return ConvertText(text, target, page, format);
}

void StoreConverted(DbfWriter& writer, int field, const Converted& value,
                    const FormatSettings& format) {
    if (!value.Ok() || value.text.empty()) return;
    const FieldDef& f = writer.Fields()[static_cast<size_t>(field)];
    if (f.IsMemo())
        writer.SetMemo(field, value.text);
    else
        writer.SetText(field, value.text, FormatSettings{'.', format.shortDateFormat});
}

}  // namespace orbelan
