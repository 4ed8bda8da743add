#pragma once
// What the commands share for the whole run: the open table, the second table, the query,
// the two paths, and the ports the commands report through.
#include <string>

#include "core/platform.h"
#include "core/ui.h"
#include "core/undo_history.h"
#include "engine/format_settings.h"
#include "engine/query.h"
#include "engine/table.h"

namespace orbelan {

class Workspace {
  public:
    // The window and the tests implement every port.
    Workspace(Ui& ui, Platform& platform);
    // The command line: messages only; progress and window state do nothing.
    Workspace(Messages& messages, Platform& platform);
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    Messages& messages;
    Progress& progress;
    WindowState& window;
    Platform& platform;

    Table table;        // the open table shown in the grid
    Table secondTable;  // packing, scratch and other tables
    Query query;        // local SQL

    std::string CurrentFile;  // full path of the table to open or that is open; empty when none
    std::string ProgramDir;   // with a trailing separator; scratch files and letters go there
    bool Sorting = false;
    bool FilterOn = false;          // the user switched the filter on (the button stays down)
    std::string RunningCommand;     // the name of the command running under a CommandGuard, if any
    bool KeepRestorePoints = true;  // off: rewrites keep no restore point (--no-undo)
    int64_t UndoBudget = -1;        // bytes for the restore points of a table; -1: by free space
    bool inRestorePoint = false;    // a rewrite under a restore point is running
    UndoHistory history;            // the open table's edits and commands to undo

    // Applies the number/date forms and the default code page to all three datasets.
    void SetFormatSettings(const FormatSettings& settings);
    const FormatSettings& Format() const { return format_; }
    // The 8-bit code page exports and documents are written in: the one forced by the user
    // (--codepage), else the default for tables that name none (cp1250 unless set).
    std::string ProgramCodePage() const;

    // Opens CurrentFile. A file that can't be read is said so and leaves no table open; when it
    // was the one named at start-up (nothing else was asked for), the program ends too.
    void OpenTable(bool atStartUp = false);
    void CloseTable();
    // Posts the row being edited or added, as leaving it in the grid would.
    void PostPendingEdit();
    // The same, but a row that can't be posted is cancelled: the table is about to go.
    void FinishPendingEdit();

    void TableAfterOpen();
    void TableAfterClose();
    void TableAfterPost();
    void AttachAfterPost();
    void DetachAfterPost();

  private:
    Workspace(Messages& messages, Progress& progress, WindowState& window, Platform& platform);

    FormatSettings format_;
};

// Makes the row-th displayed row (from 1) current; ArgumentError when there is no such row.
void MoveToDisplayedRow(Workspace& ws, long row);

}  // namespace orbelan
