#pragma once
// A click on a column title rewrites the table file in that column's order.
#include <string>

#include "core/workspace.h"

namespace orbelan {

// Rewrites the table file in the order of the column (a click on its title). False when it could
// not start (no folder for its scratch table; the user was told); true otherwise, a sort the
// user declined included.
bool SortByColumn(Workspace& ws, int column);

}  // namespace orbelan
