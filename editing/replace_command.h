#pragma once
// "Cauta si inlocuieste": a text replaced in the displayed rows, in one column or in every text
// column, as one rewrite of the table.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/workspace.h"

namespace orbelan {

struct ReplaceRequest {
    std::string column;  // empty: every text column (character and memo text)
    std::string find;
    std::string replacement;
    bool wholeValue = false;  // the whole value equals find, else every occurrence inside it
    bool matchCase = false;   // off: letters (Romanian ones too) compared without their case
    // Values too long for their field: asked whether to skip them, or (the command line) listed
    // and nothing written.
    bool askToSkipTooLong = true;
};

// One value the replace would change; row is the displayed row, from 1.
struct ReplaceChange {
    long row = 0;
    uint32_t record = 0;  // in the file, from 0
    int field = -1;
    std::string before;  // FindReplacements only
    std::string after;
    std::string problem;  // why the new value can't be stored (too long, a character); empty: fits
};

// Every value the request would change, row by row in the displayed order ("Numara").
std::vector<ReplaceChange> FindReplacements(Workspace& ws, const ReplaceRequest& request);

struct ReplaceResult {
    int replaced = 0;
    bool stopped = false;  // values that don't fit, not skipped: nothing was written
};

// "Inlocuieste tot": asks once with the count, then writes every change in one rewrite (all or
// nothing) and says "N valori inlocuite.". Answered NU, nothing changes.
ReplaceResult ReplaceAll(Workspace& ws, const ReplaceRequest& request);

// The text with find replaced as the request says; nullopt when it has no match.
std::optional<std::string> ReplacedText(const std::string& text, const ReplaceRequest& request);

}  // namespace orbelan
