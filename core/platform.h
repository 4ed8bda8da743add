#pragma once
// What the program asks of the operating system besides files.
#include <string>

namespace orbelan {

class Platform {
  public:
    virtual ~Platform() = default;
    // The shell's "open" action on a file or a web address.
    virtual void ShellOpen(const std::string& target) = 0;
    virtual void SetClipboardText(const std::string& utf8) = 0;
    // Makes this program open files of the extension (without dot); throws std::runtime_error.
    virtual void RegisterExtension(const std::string& ext, const std::string& exe) = 0;
    virtual std::string TempFolder() = 0;  // with a trailing separator
    virtual int PixelsPerInch() = 0;
};

}  // namespace orbelan
