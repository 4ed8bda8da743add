#pragma once
#include "core/platform.h"

namespace orbelan {

// The Platform port on top of Qt and the operating system.
class QtPlatform : public Platform {
  public:
    void ShellOpen(const std::string& target) override;
    void SetClipboardText(const std::string& utf8) override;
    void RegisterExtension(const std::string& ext, const std::string& exe) override;
    std::string TempFolder() override;
    int PixelsPerInch() override;
};

}  // namespace orbelan
