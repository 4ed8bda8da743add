#pragma once
// Prints the rows of a dataset from its current row down, as a table, CSV or JSON lines.
#include <iosfwd>
#include <string>

#include "core/text_util.h"  // CsvField
#include "engine/table.h"

namespace orbelan {

// markDeleted: a first column "*" marks the rows deleted (shown while the table shows them).
void PrintRows(Table& table, const std::string& format, long limit, std::ostream& out,
               bool markDeleted = false);

std::string JsonString(const std::string& utf8);

}  // namespace orbelan
