#pragma once
// The "Creaza formulare &Word" command: fills an RTF template with the rows of the open table
// into one document, a page per row, or writes the how-to template that lists the table's
// columns.
#include <string>
#include <string_view>

namespace orbelan {

class TRTFReplace;
class Workspace;

enum class LetterMode {
    OLinie,        // "Numai linia selectata": the current row
    ToateLiniile,  // "Toate liniile afisate": every displayed row from the first
    TotInJos,  // "De la linia selectata in jos": the current row and the displayed rows after it
};

// The built-in how-to template.
std::string_view ModeleResource();

// False, after the message "Nu aveti ce exporta in Word!", when no table is open or it shows no
// rows.
bool HasRowsForLetters(Workspace& ws);

// Writes rtf.RTFSursa filled with the rows of the mode into rtf.RTFDest. The current row is the
// same afterwards. False, after a message, when the document can't be made; nothing is left
// under RTFDest then.
bool WriteLetters(Workspace& ws, TRTFReplace& rtf, LetterMode mode);

// Writes the how-to template with the open table's columns to dest, through a temporary copy
// named by NextFreeDest(scratchPrefix) and removed afterwards. False after a message.
bool WriteHowToTemplate(Workspace& ws, TRTFReplace& rtf, const std::string& scratchPrefix,
                        const std::string& dest);

// The command of the three menu items.
void ExpRTF(Workspace& ws, LetterMode mode);

}  // namespace orbelan
