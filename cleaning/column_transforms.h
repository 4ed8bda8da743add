#pragma once
// The column commands of the main window: delete a column, split surnames from first names,
// turn a date column into day numbers, swap the values of two columns.
#include <optional>
#include <string>
#include <utility>

namespace orbelan {

class Workspace;

// "&Sterge o coloana": asks, then the column leaves the file; every other value stays byte for
// byte. False when the user said no.
bool DeleteColumn(Workspace& ws, const std::string& column);

// "Separa Nume de Prenume": the column keeps the text up to its first blank, PRENUME_ (added
// when missing) the rest, for every displayed row.
void SplitNames(Workspace& ws, const std::string& column);
// The surname and first-name parts of a value, as the split writes them.
std::pair<std::string, std::string> SplitName(const std::string& value);

// "Transforma Coloana Date in Numeric": the DATE column becomes DECIMAL(6,0), last in the table,
// holding each row's day number (0 when empty), in one rewrite of every row of the file. False
// when nothing was converted (not a DATE column).
bool DateColumnToNumber(Workspace& ws, const std::string& column);

// "Inverseaza doua coloane": asks, swaps the values of every displayed row and closes with its
// message. Nothing when the user said no; otherwise how many rows could not be swapped.
std::optional<int> SwapColumns(Workspace& ws, const std::string& first, const std::string& second);

}  // namespace orbelan
