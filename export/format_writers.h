#pragma once
// The makers of each format's writer; the engine picks one per run.
#include <memory>
#include <string>

#include "export/custom_export.h"

namespace orbelan {

std::unique_ptr<TovFormatWriter> MakeExcelWriter(TovCustomExport& engine,
                                                 const std::string& target);

// The cell text as a spreadsheet number: a decimal number with "." ("0042", "-1.5e3"), or an
// integer ("$1F" in hexadecimal). Leading blanks are allowed, trailing ones are not.
bool ReadsAsDecimal(const std::string& text, double& value);
bool ReadsAsInteger(const std::string& text, int64_t& value);

}  // namespace orbelan
