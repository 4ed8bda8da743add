#pragma once
// The filter box, its button and the search button of the main window.
#include <string>

#include "core/workspace.h"

namespace orbelan {

// Switches the filter on with text, or off. Returns whether it is on afterwards (the button
// follows it): an empty text switches it off, a text the engine refuses too ("Filtru incorect!").
bool SwitchFilter(Workspace& ws, bool on, const std::string& text);

// Before the search's chooser: false, with a hint, when there is no table to search.
bool ReadyToFind(Workspace& ws);
// Moves to the first displayed row whose column holds the value.
void FindValue(Workspace& ws, const std::string& column, const std::string& value);
// The search again: the next displayed row below the current one that holds the value, else
// the first one from the top; false when no row holds it.
bool FindNextValue(Workspace& ws, const std::string& column, const std::string& value);

}  // namespace orbelan
