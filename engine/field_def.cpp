#include "engine/field_def.h"

#include <cctype>

namespace orbelan {

bool SameFieldName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

FieldKind FieldDef::Kind() const {
    if (IsMemo()) return FieldKind::Other;
    switch (type) {
        case 'C':
        case 'V':
            return FieldKind::Text;
        case 'N':
        case 'F':
        case 'I':
        case 'B':
        case 'Y':
        case 'O':
        case '+':
            return FieldKind::Number;
        case 'D':
        case 'T':
        case '@':
            return FieldKind::Date;
        case 'L':
            return FieldKind::Logical;
        default:
            return FieldKind::Other;
    }
}

int FindField(const std::vector<FieldDef>& fields, std::string_view name) {
    for (size_t i = 0; i < fields.size(); ++i) {
        if (SameFieldName(fields[i].name, name)) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace orbelan
