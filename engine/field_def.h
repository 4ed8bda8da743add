#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orbelan {

// What a field's values are, whatever their storage: what filters and profiles reason about.
enum class FieldKind { Text, Number, Date, Logical, Other };

// One column of a table as its header describes it.
struct FieldDef {
    std::string name;  // as stored (ASCII in practice), case kept
    char type = 'C';   // C N F D L M I B T @ Y O + V G P 0 ...
    int size = 0;      // bytes in the record
    int decimals = 0;
    int offset = 0;         // from the start of the record (byte 0 is the deletion flag)
    uint8_t flags = 0;      // Visual FoxPro field flags: 0x02 nullable, 0x0C autoincrement
    uint32_t autoNext = 0;  // Visual FoxPro autoincrement: the next value and the step
    uint8_t autoStep = 0;

    // Visual FoxPro numbers new rows in such a field itself, from the counter in the header.
    bool IsAutoIncrement() const { return type == 'I' && (flags & 0x0C) == 0x0C && autoStep > 0; }
    bool IsMemo() const {
        return type == 'M' || type == 'G' || type == 'P' || (type == 'B' && size == 10);
    }
    // Values kept as bytes, not text (general and picture fields, Visual FoxPro's binary memo):
    // shown, saved and loaded as they are stored.
    bool HoldsBytes() const { return type == 'G' || type == 'P' || (type == 'B' && size == 10); }
    // Memo fields and types of no plain value are Other.
    FieldKind Kind() const;
};

// Field names compare without regard to letter case, as dBase programs treat them.
bool SameFieldName(std::string_view a, std::string_view b);
// Index of the named field, -1 when there is none.
int FindField(const std::vector<FieldDef>& fields, std::string_view name);

}  // namespace orbelan
