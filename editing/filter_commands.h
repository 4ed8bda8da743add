#pragma once
// The filter box, its button and the search button of the main window.
#include "core/workspace.h"

namespace orbelan {

void Filtru1Click(Workspace& ws);
void FiltruEKeyDown(Workspace& ws, int key);
void FindButClick(Workspace& ws);

}  // namespace orbelan
