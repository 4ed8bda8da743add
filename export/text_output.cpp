#include "export/text_output.h"

#include "core/platform.h"

namespace orbelan {

TextOutput::TextOutput(TovCustomExport& engine, const std::string& target, bool clipboard)
    : x_(engine), target_(target), toClipboard_(clipboard) {
    if (!toClipboard_) file_ = std::make_unique<TempFile>(target_);
}

void TextOutput::Add(const std::string& text) {
    size_t start = 0;
    for (;;) {
        const size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            AddLine(text.substr(start));
            return;
        }
        AddLine(text.substr(start, end - start));
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
        if (start == text.size()) return;
    }
}

void TextOutput::AddLine(const std::string& line) {
    if (toClipboard_) {
        clipboard_ += line;
        clipboard_ += "\r\n";
        return;
    }
    pending_ = x_.Encode(line);
    pending_ += "\r\n";
    file_->Write(pending_.data(), pending_.size());
}

void TextOutput::Save() {
    if (toClipboard_) {
        x_.platform().SetClipboardText(clipboard_);
        return;
    }
    file_->Finish();
    file_->RenameOverTarget();
}

}  // namespace orbelan
