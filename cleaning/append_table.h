#pragma once
// "Adauga date din alt tabel": every row of another DBF file appended to the open table, the
// columns matched by name without regard to letter case.
#include <string>

#include "engine/errors.h"

namespace orbelan {

class Workspace;

// A value of the source that the open table can't take stopped the copy. The rows before it
// stay appended; the failing row is the open table's current row, not posted.
class AppendStopped : public DbfError {
  public:
    AppendStopped(const DbfError& cause, int appended);
    int Appended() const { return appended_; }

  private:
    int appended_;
};

struct AppendOutcome {
    bool refused = false;  // the source has a field the open table lacks; nothing was appended
    int appended = 0;
};

// Appends the rows of the DBF file at `source` to the open table. When the source is the open
// table's own file, the rows it held when the command began are appended once.
// Throws DbfError when the source can't be read (nothing changed) and AppendStopped.
AppendOutcome AppendFromTable(Workspace& ws, const std::string& source);

}  // namespace orbelan
