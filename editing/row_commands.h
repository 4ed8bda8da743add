#pragma once
// Adding and deleting rows, copying a value down a column and renumbering it.
#include "core/workspace.h"

namespace orbelan {

enum class CopyDownMode { Copy, Renumber };

void AddRow(Workspace& ws);     // "&Adauga linie"
void DeleteRow(Workspace& ws);  // "S&terge linie"
// "Copie valoare in jos" and "Renumerotare in jos", from the current row down.
void CopyDown(Workspace& ws, CopyDownMode mode);

}  // namespace orbelan
