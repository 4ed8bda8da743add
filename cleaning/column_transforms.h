#pragma once
// The column commands of the main window: delete a column, split surnames from first names,
// turn a date column into day numbers, swap the values of two columns.
#include <optional>
#include <string>

namespace orbelan {

class Workspace;

// "&Sterge o coloana": the chosen column leaves the file; every other value stays byte for byte.
void DeleteColumn(Workspace& ws);

// "Separa Nume de Prenume": the chosen column keeps the text up to its first blank, PRENUME_
// (added when missing) the rest, for every displayed row.
void SeparaNumePrenume(Workspace& ws);
// The surname and first-name parts of a value, as the split writes them.
std::pair<std::string, std::string> SplitName(const std::string& value);

// "Transforma Coloana Date in Numeric": the chosen DATE column becomes DECIMAL(6,0), last in the
// table, holding each row's day number (0 when empty), in one rewrite of every row of the file.
// False when nothing was converted (no choice, or not a DATE column).
bool DateColumnToNumber(Workspace& ws);

// The two-column chooser, the question and the swap of every displayed row. Nothing when the
// user gave up; otherwise how many rows could not be swapped.
std::optional<int> InverseazaColoane(Workspace& ws);
// "Inverseaza doua coloane": the swap and its closing message; the same result.
std::optional<int> SwapColumns(Workspace& ws);

}  // namespace orbelan
