#pragma once
// Prints the rows of a dataset from its current row down, as a table, CSV or JSON lines.
#include <iosfwd>
#include <string>

#include "core/text_util.h"  // CsvField
#include "engine/table.h"

namespace orbelan {

void PrintRows(Table& table, const std::string& format, long limit, std::ostream& out);

std::string JsonString(const std::string& utf8);

}  // namespace orbelan
