#pragma once
// `orbelan import SOURCE -o NEW.dbf ...` and `orbelan append FILE SOURCE.csv|.xlsx|.xls`.
#include <string>

namespace orbelan {

struct CliContext;

int ImportCommand(CliContext& c);
// True when append's source is a CSV or workbook rather than a DBF.
bool IsImportSource(const std::string& path);
int AppendImported(CliContext& c, const std::string& source);

}  // namespace orbelan
