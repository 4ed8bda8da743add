#pragma once
// A Platform for tests that records what the program asked of the system.
#include <string>
#include <utility>
#include <vector>

#include "core/platform.h"

namespace orbelan::test {

class FakePlatform : public Platform {
  public:
    std::vector<std::string> opened;
    std::string clipboard;
    std::vector<std::pair<std::string, std::string>> registrations;
    std::string tempFolder = "/tmp/";

    void ShellOpen(const std::string& target) override { opened.push_back(target); }
    void SetClipboardText(const std::string& utf8) override { clipboard = utf8; }
    void RegisterExtension(const std::string& ext, const std::string& exe) override {
        registrations.emplace_back(ext, exe);
    }
    std::string TempFolder() override { return tempFolder; }
    int PixelsPerInch() override { return 96; }
};

}  // namespace orbelan::test
