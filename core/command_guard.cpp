#include "core/command_guard.h"

#include "core/workspace.h"

namespace orbelan {

CommandGuard::CommandGuard(Workspace& ws, GuardOptions options) : ws_(ws), options_(options) {
    if (options_.disableWindow) ws_.progress.SetMainWindowEnabled(false);
    if (options_.busyCursor) ws_.progress.SetBusyCursor(true);
    if (options_.bar >= 0) ws_.progress.ProgressShow(options_.bar);
    if (options_.stoppable) ws_.progress.SetStopButtonVisible(true);
    if (options_.freezeGrid) ws_.table.DisableControls();
    if (options_.name) ws_.RunningCommand = options_.name;
}

CommandGuard::~CommandGuard() {
    if (finished_) return;
    try {
        Restore(false);
    } catch (...) {
        // The failure that ended the command is the one to report.
    }
}

void CommandGuard::ShowBar(int maximum) {
    options_.bar = maximum;
    ws_.progress.ProgressShow(maximum);
}

void CommandGuard::ShowStopButton() {
    options_.stoppable = true;
    ws_.progress.SetStopButtonVisible(true);
}

void CommandGuard::Finish() {
    finished_ = true;
    Restore(true);
}

void CommandGuard::Restore(bool report) {
    if (options_.name) ws_.RunningCommand.clear();
    if (options_.bar >= 0) ws_.progress.ProgressHide();
    if (options_.stoppable) ws_.progress.SetStopButtonVisible(false);
    if (options_.busyCursor) ws_.progress.SetBusyCursor(false);
    if (options_.disableWindow) ws_.progress.SetMainWindowEnabled(true);
    if (!options_.freezeGrid) return;
    Table& table = ws_.table;
    if (!report && !options_.keepUnpostedRow) {
        try {
            if (table.Active() && table.GetState() != Table::State::Browse) table.Cancel();
        } catch (...) {
        }
    }
    try {
        table.EnableControls();
    } catch (...) {
        if (report) throw;
    }
}

}  // namespace orbelan
