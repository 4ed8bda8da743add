#pragma once
// The makers of each format's writer; the engine picks one per run.
#include <memory>
#include <string>
#include <string_view>

#include "export/custom_export.h"

namespace orbelan {

// The bytes a format escapes, looked up by table: a text is copied in runs between them.
class ByteSet {
  public:
    constexpr ByteSet(std::string_view bytes, bool beyondAscii = false) {
        for (char c : bytes) in_[static_cast<unsigned char>(c)] = true;
        for (int b = 0x80; beyondAscii && b < 0x100; ++b) in_[b] = true;
    }
    // The first position from `from` on that holds one of the bytes; text.size() for none.
    size_t Find(std::string_view text, size_t from) const {
        while (from < text.size() && !in_[static_cast<unsigned char>(text[from])]) ++from;
        return from;
    }

  private:
    bool in_[256] = {};
};

// The text with every byte of `doubled` written twice.
void AppendDoubling(std::string& out, std::string_view text, const ByteSet& doubled);

std::unique_ptr<TovFormatWriter> MakeExcelWriter(TovCustomExport& engine,
                                                 const std::string& target);

std::unique_ptr<TovFormatWriter> MakeTextWriter(TovCustomExport& engine, const std::string& target);

std::unique_ptr<TovFormatWriter> MakeHtmlWriter(TovCustomExport& engine, const std::string& target);
// DIF and SYLK.
std::unique_ptr<TovFormatWriter> MakeSheetTextWriter(TovCustomExport& engine,
                                                     const std::string& target);
// RTF and Word.
std::unique_ptr<TovFormatWriter> MakeRtfWriter(TovCustomExport& engine, const std::string& target);
// A text as the RTF export writes it (core/rtf_text.h): \ \{ \} escaped, line breaks dropped.
std::string RtfText(const TovCustomExport& engine, std::string_view utf8);

// & < > " as entities.
std::string HtmlEscape(const std::string& text);

// The text on one line: each line break (CR LF, CR or LF), and each tab when asked, becomes a
// blank; the bytes of `doubled` are written twice. For the formats that have no escape for them.
void AppendOneLine(std::string& out, std::string_view text, const ByteSet& doubled, bool tabs);

// Doubles inner double quotes; encloses in double quotes when asked or when the text holds a
// blank, a comma or a line break or starts with a double quote.
std::string QuoteValue(const std::string& text, bool always);
void AppendQuoteValue(std::string& out, std::string_view text, bool always);
// Characters of a UTF-8 text.
size_t TextLength(std::string_view utf8);
// Blank-filled to width: alignment 2 on the left, 3 on both sides, else on the right.
std::string Padded(const std::string& text, int width, int alignment);

// The cell text as a spreadsheet number: a decimal number with "." ("0042", "-1.5e3"), or an
// integer ("$1F" in hexadecimal). Leading blanks are allowed, trailing ones are not.
bool ReadsAsDecimal(std::string_view text, double& value);
bool ReadsAsInteger(std::string_view text, int64_t& value);

}  // namespace orbelan
