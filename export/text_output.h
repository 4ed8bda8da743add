#pragma once
// The output of the line-based formats, streamed: each line goes to the scratch file as it is
// made (in the program's code page, ended by CR LF), so a million rows need no memory; the
// clipboard collects its text instead.
#include <memory>
#include <string>
#include <string_view>

#include "engine/file_io.h"
#include "export/custom_export.h"

namespace orbelan {

class CodePage;

class TextOutput {
  public:
    TextOutput(TovCustomExport& engine, const std::string& target, bool clipboard);
    // A text that holds line breaks becomes several lines.
    void Add(const std::string& text);
    void AddLine(std::string_view line);
    // The file renamed into place, or the text on the clipboard.
    void Save();
    const std::string& ClipboardText() const { return clipboard_; }

  private:
    void Flush();

    TovCustomExport& x_;
    std::string target_;
    bool toClipboard_;
    const CodePage* page_ = nullptr;  // the file's code page, looked up once per run
    bool asciiPage_ = false;
    std::unique_ptr<TempFile> file_;
    std::string clipboard_;
    std::string bytes_;  // encoded lines not yet handed to the file
};

}  // namespace orbelan
