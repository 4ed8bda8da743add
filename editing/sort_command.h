#pragma once
// A click on a column title rewrites the table file in that column's order.
#include <string>

#include "core/workspace.h"

namespace orbelan {

// The first of ProgramDir + "DBF" + n + ext (n = 0..200) that is free or can be deleted;
// empty when none is.
std::string TempTableName(Workspace& ws, const std::string& ext);

void Grid1TitleClick(Workspace& ws, int column);

}  // namespace orbelan
