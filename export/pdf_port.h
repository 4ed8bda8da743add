#pragma once
// The PDF target of the export engine. Its pages are laid out with Qt, which the engine does
// not link: the window and the command line hand it the writer's maker at start-up.
#include <memory>
#include <string>

#include "export/custom_export.h"

namespace orbelan {

inline constexpr const char* kPdfUnavailable =
    "Formatul PDF nu este disponibil in aceasta versiune.";

using PdfWriterMaker = std::unique_ptr<TovFormatWriter> (*)(TovCustomExport& engine,
                                                            const std::string& target);

void SetPdfWriterMaker(PdfWriterMaker maker);

// Throws kPdfUnavailable where no maker was set (the build without Qt, the Windows command line).
std::unique_ptr<TovFormatWriter> MakePdfWriter(TovCustomExport& engine, const std::string& target);

}  // namespace orbelan
