#pragma once
// The charts of a column's profile and of counts by value, as data to draw.
#include <cstddef>

#include "cleaning/column_profile.h"
#include "core/chart_data.h"

namespace orbelan {

// Throws std::invalid_argument with a Romanian message when the profile has no such picture
// (a histogram of a text column, a pyramid of a column that holds no personal codes).
ChartData ChartOfProfile(const ColumnProfile& profile, ChartKind kind);
// The most frequent groups (at most maxBars), labels "KEY1 / KEY2".
ChartData ChartOfCounts(const GroupCounts& counts, size_t maxBars = 30);

}  // namespace orbelan
