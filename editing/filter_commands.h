#pragma once
// The filter box, its button and the search button of the main window.
#include "core/workspace.h"

namespace orbelan {

// Switches the filter on or off as the filter button stands.
void SwitchFilter(Workspace& ws);
// A key pressed in the filter box: Enter pushes the button down and switches the filter on.
void FilterKey(Workspace& ws, int key);
// Asks for a column and a value and moves to the first displayed row that holds it.
void FindValue(Workspace& ws);

}  // namespace orbelan
