#pragma once
// The commands of the "&C.N.P." button: check the codes of a column, and write the birth year
// (ANCNP) or the birth date (DATACNP) they state into a column added when missing.
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace orbelan {

class Table;
class Workspace;

// Walks the displayed rows from the first, in the table's order and through its filter, and
// calls onInvalid with the cursor on each row whose code in `field` is invalid (row = position
// among the displayed rows, from 1). Stops, leaving the cursor there, when onInvalid returns
// false; afterRow runs after every row examined. Returns true when it went past the last row.
bool WalkInvalidCnp(Table& table, int field,
                    const std::function<bool(int row, const std::string& code)>& onInvalid,
                    const std::function<void()>& afterRow = {});

// Every invalid code of the displayed rows, for the command line.
std::vector<std::pair<int, std::string>> FindInvalidCnp(Table& table, int field);

// "Verifica C.N.P.": walks the codes of the column, stops at each invalid one and asks whether
// to go on.
void CheckCnpCodes(Workspace& ws, const std::string& column);
// "Extrage Anul din C.N.P.": the birth year of each displayed row's code into ANCNP (added when
// missing), in one rewrite.
void ExtractBirthYear(Workspace& ws, const std::string& column);
// "Extrage Data din C.N.P.": the birth date into DATACNP, the same way.
void ExtractBirthDate(Workspace& ws, const std::string& column);

}  // namespace orbelan
