#include "export/pdf_port.h"

#include <atomic>
#include <stdexcept>

namespace orbelan {
namespace {
std::atomic<PdfWriterMaker> pdfMaker{nullptr};
}  // namespace

void SetPdfWriterMaker(PdfWriterMaker maker) {
    pdfMaker.store(maker);
}

std::unique_ptr<TovFormatWriter> MakePdfWriter(TovCustomExport& engine, const std::string& target) {
    const PdfWriterMaker maker = pdfMaker.load();
    if (maker == nullptr) throw std::runtime_error(kPdfUnavailable);
    return maker(engine, target);
}

}  // namespace orbelan
