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

// The folder of the user's templates (Modele in the program's data folder), made when missing;
// with a trailing separator.
std::string TemplateFolder(Workspace& ws);

// Fills the template into the first free Rap<n>.rtf of the program's data folder and opens it.
// False after a message when it can't.
bool WriteFormLetters(Workspace& ws, const std::string& templatePath, LetterMode mode);

// The command line's twins: the letters into dest (row: the displayed row, from 1, that
// OLinie and TotInJos start on; 0 for the current one), the how-to template into dest. False
// after a message when the document can't be made; ArgumentError for a row that isn't shown.
bool WriteLettersTo(Workspace& ws, const std::string& templatePath, const std::string& dest,
                    LetterMode mode, long row = 0);
bool WriteHowToTemplateTo(Workspace& ws, const std::string& dest);

// Writes the how-to template as the first free Model<n>.rtf of the template folder and opens it.
bool WriteHowToTemplateFile(Workspace& ws);

}  // namespace orbelan
