#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "engine/trim.h"

namespace orbelan {

// A count as a Romanian reads it: thousands grouped by full stops ("2.140").
std::string GroupedThousands(long long n);

// A sheet's column letters: 0 -> "A", 27 -> "AB".
std::string SheetColumnName(int column);

// A CSV cell: quoted (quotes doubled) when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& utf8);

}  // namespace orbelan
