#pragma once
// The .xlsx target of the export engine: typed cells, every row (more sheets past a sheet's
// last row), written row by row so memory stays flat.
#include <memory>
#include <string>
#include <string_view>

#include "export/custom_export.h"

namespace orbelan {

inline constexpr const char* kXlsxUnavailable =
    "Formatul .xlsx nu este disponibil in aceasta versiune.";

// False in builds made without the workbook library (the Windows one).
bool XlsxAvailable();

// Throws kXlsxUnavailable where XlsxAvailable() is false.
std::unique_ptr<TovFormatWriter> MakeXlsxWriter(TovCustomExport& engine, const std::string& target);

// The program's date pattern ("dd.MM.yyyy", "h:mm AMPM dd.MM.yyyy") as a cell number format.
std::string XlsxDateFormat(std::string_view pattern);

}  // namespace orbelan
