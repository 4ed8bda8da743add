#include "export/text_output.h"

#include "core/platform.h"

namespace orbelan {

TextOutput::TextOutput(TovCustomExport& engine, const std::string& target, bool clipboard)
    : x_(engine), target_(target), toClipboard_(clipboard) {
    if (!toClipboard_) file_ = std::make_unique<TempFile>(target_);
}

void TextOutput::Add(const std::string& text) {
    // Most texts hold no line break: one scan, no copy.
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') continue;
        AddLine(std::string_view(text).substr(start, i - start));
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
        if (start == text.size()) return;
    }
    AddLine(std::string_view(text).substr(start));
}

void TextOutput::AddLine(std::string_view line) {
    if (toClipboard_) {
        clipboard_ += line;
        clipboard_ += "\r\n";
        return;
    }
    bool ascii = true;
    for (char c : line) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) {
        file_->Write(line.data(), line.size());
    } else {
        pending_ = x_.Encode(std::string(line));
        file_->Write(pending_.data(), pending_.size());
    }
    file_->Write("\r\n", 2);
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
