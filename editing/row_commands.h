#pragma once
// Adding and deleting rows, copying a value down a column and renumbering it.
#include "core/workspace.h"

namespace orbelan {

enum class CopyDownMode { Copy, Renumber };

void LbButton6Click(Workspace& ws);  // "&Adauga linie"
void LbButton7Click(Workspace& ws);  // "S&terge linie"
void CopieVClick(Workspace& ws, CopyDownMode mode);

}  // namespace orbelan
