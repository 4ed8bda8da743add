#pragma once
// Keeps the grid from following the table while a command walks its rows. However the command
// ends, the grid follows the table again; after a failure the row that could not be written is
// cancelled first, so the table can be browsed and closed normally.
#include "engine/table.h"

namespace orbelan {

class FrozenGrid {
  public:
    explicit FrozenGrid(Table& table) : table_(table) { table_.DisableControls(); }
    ~FrozenGrid() {
        if (!frozen_) return;
        try {
            if (table_.Active() && table_.GetState() != Table::State::Browse) table_.Cancel();
        } catch (...) {
            // The failure that ended the command is the one to report.
        }
        try {
            table_.EnableControls();
        } catch (...) {
        }
    }
    FrozenGrid(const FrozenGrid&) = delete;
    FrozenGrid& operator=(const FrozenGrid&) = delete;

    // The normal end: a failure to write the last rows out is reported like any other.
    void Unfreeze() {
        frozen_ = false;
        table_.EnableControls();
    }

  private:
    Table& table_;
    bool frozen_ = true;
};

}  // namespace orbelan
