#pragma once
// The export engine's PDF target: the rows it hands over are kept in a scratch file, then laid
// out and painted as the preview shows them, into a file renamed into place when whole.
#include <functional>
#include <memory>
#include <string>

namespace orbelan {

class PageLayout;
class TovCustomExport;
class TovFormatWriter;

// Sets the engine's PDF maker, which makes sure of an application (EnsurePdfApplication).
void InstallPdfExport();
// Pages are measured with the system's fonts, which need an application: without one (the command
// line) one is made on the offscreen platform.
void EnsurePdfApplication();

// The pages into a PDF written under a scratch name beside target and renamed over it when
// whole. `progress(pagesDone, pages)` false stops: then nothing is left and false is returned.
// Throws std::runtime_error (a write that failed, a folder that can't be written).
bool WritePdf(PageLayout& layout, const std::string& target, const std::string& title,
              const std::function<bool(int, int)>& progress);

std::unique_ptr<TovFormatWriter> MakeQtPdfWriter(TovCustomExport& engine,
                                                 const std::string& target);

}  // namespace orbelan
