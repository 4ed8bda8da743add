// Locate: the first visible row whose field holds a value given as text.
#include "engine/table.h"

#include <algorithm>

#include "engine/field_codec.h"
#include "engine/field_value.h"
#include "engine/table_impl.h"
#include "engine/text_parse.h"

namespace orbelan {

using table_detail::RequireActive;

namespace {

// Compares one field of raw records with a value given as text, by the field's type: straight
// from the stored bytes where that is exact, through the text form otherwise.
class LocateMatcher {
  public:
    LocateMatcher(const DbfFile& file, int field, std::string_view text, const FormatSettings& fmt)
        : file_(file), field_(field), reader_(file.Layout(), file.FieldAt(field)), fmt_(fmt) {
        const char type = reader_.Type();
        if (type == 'C' || type == 'V') {
            kind_ = Kind::Bytes;
            try {
                key_ = file.Page().Encode(text);
            } catch (const DbfError&) {
                kind_ = Kind::Never;  // no stored value can hold a character the page lacks
            }
            if (type == 'V')
                while (!key_.empty() && (key_.back() == ' ' || key_.back() == '\0'))
                    key_.pop_back();
            return;
        }
        if (type == 'N' || type == 'F' || type == 'I' || type == 'B' || type == 'Y' ||
            type == 'O' || type == '+') {
            auto canon = CanonicalNumber(text, fmt.decimalSeparator);
            if (!canon || canon->empty()) {
                // Blanks find the empty values; other text ("***", "12a") what shows it.
                const bool blank = text.find_first_not_of(' ') == std::string_view::npos;
                kind_ = blank ? Kind::Empty : Kind::Text;
                key_ = text;
                return;
            }
            kind_ = Kind::Number;
            key_ = *canon;
            // A decimal of at most 15 significant digits is the only decimal that reads as its
            // double, so comparing doubles is exact then.
            size_t significant = 0;
            const size_t lead = key_.find_first_of("123456789");
            if (lead != std::string::npos)
                for (size_t i = lead; i < key_.size(); ++i) significant += key_[i] != '.';
            keyExact_ = significant <= 15;
            keyNumber_ = std::strtod(key_.c_str(), nullptr);
            return;
        }
        if (type == 'D' || type == 'T' || type == '@') {
            kind_ = type == 'D' ? Kind::Date : Kind::DateTime;
            if (TrimStored(text).empty()) return;  // no day: finds the empty values
            if (type == 'D') {
                if (const auto day = ParseDateText(text, fmt)) at_ = DayAndTime{*day, 0};
            } else {
                at_ = ParseDateTimeText(text, fmt);
            }
            if (!at_) {
                kind_ = Kind::Text;  // what a damaged date shows
                key_ = text;
            }
            return;
        }
        if (type == 'L') {
            kind_ = Kind::Logical;
            if (TrimStored(text).empty()) return;
            logical_ = ParseLogicalText(text);
            if (!logical_) kind_ = Kind::Never;
            return;
        }
        kind_ = Kind::Text;
        key_ = text;
    }

    bool Matches(const uint8_t* rec) const {
        switch (kind_) {
            case Kind::Never:
                return false;
            case Kind::Empty: {
                const FieldValue v = reader_.Read(rec);
                return v.IsEmpty() || v.IsOverflow();  // both show as ""
            }
            case Kind::Bytes:
                return reader_.Text(rec) == key_;
            case Kind::Number: {
                const FieldValue v = reader_.Read(rec);
                if (v.kind != ValueKind::Number) return false;
                if (keyExact_ && v.exact) return v.number == keyNumber_;
                const std::string text =
                    file_.Text(rec, field_, FormatSettings{'.', fmt_.shortDateFormat});
                auto canon = CanonicalNumber(text);
                return canon && *canon == key_;
            }
            case Kind::Date: {
                const FieldValue v = reader_.Read(rec);
                if (!at_) return v.IsEmpty();
                return v.kind == ValueKind::Date && v.day == at_->day;
            }
            case Kind::DateTime: {
                const FieldValue v = reader_.Read(rec);
                if (!at_) return v.IsEmpty();
                if (v.kind != ValueKind::DateTime) return false;
                // To the second, as the value shows: writers store 23:59:59 as 86398999 ms.
                const int64_t shown = (v.Instant() + 500) / 1000;
                const int64_t wanted =
                    (static_cast<int64_t>(at_->day) * kMsPerDay + at_->ms + 500) / 1000;
                return shown == wanted;
            }
            case Kind::Logical: {
                const FieldValue v = reader_.Read(rec);
                if (!logical_) return v.IsEmpty();
                return v.kind == ValueKind::Bool && v.flag == *logical_;
            }
            case Kind::Text:
                return file_.Text(rec, field_, fmt_) == key_;
        }
        return false;
    }

  private:
    enum class Kind { Never, Empty, Bytes, Number, Date, DateTime, Logical, Text };
    const DbfFile& file_;
    int field_;
    FieldReader reader_;
    FormatSettings fmt_;
    Kind kind_ = Kind::Never;
    std::string key_;
    bool keyExact_ = false;
    double keyNumber_ = 0;
    std::optional<bool> logical_;   // none: the empty values
    std::optional<DayAndTime> at_;  // none: the empty values
};

}  // namespace

bool Table::Locate(std::string_view field, std::string_view text, int fromRow) {
    RequireActive(*this);
    Impl& d = *d_;
    if (d.Editing()) Post();
    const int index = FieldIndexOrThrow(field);
    const LocateMatcher matcher(*d.file, index, text, d.format);
    for (int row = std::max(fromRow, 0); d.HasRow(row); ++row) {
        if (matcher.Matches(d.file->Record(d.visible[static_cast<size_t>(row)]))) {
            d.current = row;
            d.eof = d.bof = false;
            d.NotifyCursor();
            return true;
        }
    }
    return false;
}

}  // namespace orbelan
