#include "export/text_output.h"

#include "core/platform.h"
#include "engine/codepage.h"

namespace orbelan {

namespace {
constexpr size_t kChunk = 1 << 18;

bool IsAscii(std::string_view text) {
    unsigned char seen = 0;  // branch-free, so the compiler vectorizes it
    for (char c : text) seen |= static_cast<unsigned char>(c);
    return seen < 0x80;
}
}  // namespace

TextOutput::TextOutput(TovCustomExport& engine, const std::string& target, bool clipboard)
    : x_(engine), target_(target), toClipboard_(clipboard) {
    if (toClipboard_) return;
    page_ = &x_.Page();
    asciiPage_ = page_->AsciiIdentity();
    file_ = std::make_unique<TempFile>(target_);
    // The byte-order mark tells a spreadsheet program the file is UTF-8.
    if (page_->IsUtf8() && (x_.ExportType() == xtCSV || x_.ExportType() == xtTAB))
        bytes_ += "\xEF\xBB\xBF";
}

void TextOutput::Add(const std::string& text) {
    // Most texts hold no line break: two memchr scans, then one line.
    const std::string_view rest(text);
    if (rest.find('\n') == std::string_view::npos && rest.find('\r') == std::string_view::npos) {
        AddLine(rest);
        return;
    }
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') continue;
        AddLine(rest.substr(start, i - start));
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
        if (start == text.size()) return;
    }
    AddLine(rest.substr(start));
}

void TextOutput::AddLine(std::string_view line) {
    if (toClipboard_) {
        clipboard_ += line;
        clipboard_ += "\r\n";
        return;
    }
    // Most lines are pure ASCII: copied as they are, without a call into the code page.
    if (asciiPage_ && IsAscii(line))
        bytes_.append(line);
    else
        page_->AppendEncoded(line, bytes_);
    bytes_ += "\r\n";
    if (bytes_.size() >= kChunk) Flush();
}

void TextOutput::Flush() {
    file_->Write(bytes_.data(), bytes_.size());
    bytes_.clear();
}

void TextOutput::Save() {
    if (toClipboard_) {
        x_.platform().SetClipboardText(clipboard_);
        return;
    }
    Flush();
    file_->Finish();
    file_->RenameOverTarget();
}

}  // namespace orbelan
