// Fixed-width text, comma- and tab-separated text, and the clipboard.
#include "core/messages.h"
#include "engine/utf8.h"
#include "export/format_writers.h"
#include "export/text_output.h"

namespace orbelan {

void AppendDoubling(std::string& out, std::string_view text, const ByteSet& doubled) {
    size_t start = 0;
    for (size_t i = doubled.Find(text, 0); i < text.size(); i = doubled.Find(text, start)) {
        out.append(text.substr(start, i + 1 - start));
        out += text[i];
        start = i + 1;
    }
    out.append(text.substr(start));
}

void AppendOneLine(std::string& out, std::string_view text, const ByteSet& doubled, bool tabs) {
    static constexpr ByteSet kBreaks("\r\n"), kBreaksAndTabs("\r\n\t");
    const ByteSet& special = tabs ? kBreaksAndTabs : kBreaks;
    size_t start = 0;
    for (size_t i = special.Find(text, 0); i < text.size(); i = special.Find(text, start)) {
        AppendDoubling(out, text.substr(start, i - start), doubled);
        out += ' ';
        start = i + (text.compare(i, 2, "\r\n") == 0 ? 2 : 1);
    }
    AppendDoubling(out, text.substr(start), doubled);
}

void AppendQuoteValue(std::string& out, std::string_view text, bool always) {
    // One scan finds whether anything is special; most cells are copied as they are. A line
    // break, or a quote in front, would end the record or open a quoted field: quoted too.
    static constexpr ByteSet kSpecial(" ,\"\r\n"), kNeedsQuotes(" ,\r\n"), kQuote("\"");
    const size_t first = kSpecial.Find(text, 0);
    if (!always && first == text.size()) {
        out.append(text);
        return;
    }
    const bool quote =
        always || (first == 0 && text[0] == '"') || kNeedsQuotes.Find(text, first) < text.size();
    if (quote) out += '"';
    AppendDoubling(out, text, kQuote);
    if (quote) out += '"';
}

std::string QuoteValue(const std::string& text, bool always) {
    std::string out;
    AppendQuoteValue(out, text, always);
    return out;
}

std::string Padded(const std::string& text, int width, int alignment) {
    const size_t length = utf8::CharCount(text);
    if (width <= 0 || length >= static_cast<size_t>(width)) return text;
    const size_t missing = static_cast<size_t>(width) - length;
    if (alignment == 2) return std::string(missing, ' ') + text;
    if (alignment == 3)
        return std::string(missing / 2, ' ') + text + std::string(missing - missing / 2, ' ');
    return text + std::string(missing, ' ');
}

namespace {

void AppendPadded(std::string& line, std::string_view text, int width, int alignment) {
    const size_t length = utf8::CharCount(text);
    const size_t missing = width > 0 && length < static_cast<size_t>(width) ? width - length : 0;
    const size_t before = alignment == 2 ? missing : alignment == 3 ? missing / 2 : 0;
    line.append(before, ' ');
    line += text;
    line.append(missing - before, ' ');
}

constexpr ByteSet kNothing("");

class TextWriter : public TovFormatWriter {
  public:
    TextWriter(TovCustomExport& engine, const std::string& target)
        : TovFormatWriter(engine),
          type_(engine.ExportType()),
          out_(engine, target, type_ == xtClipboard) {}

    void HeaderLines(const std::vector<std::string>& lines) override {
        if (type_ == xtCSV) return;
        for (const auto& line : lines) out_.Add(line);
    }

    void HeaderSeparator() override { Separator(true); }

    void Row(const TovRow& row) override {
        const bool fixed = type_ == xtTXT || type_ == xtClipboard;
        const char separator = fixed ? ' ' : type_ == xtCSV ? ',' : '\t';
        std::string& line = line_;
        line.clear();
        bool first = true;
        if (row.rowNumber) {
            if (numberWidth_ < 0)
                numberWidth_ =
                    static_cast<int>(utf8::CharCount(x.RowNumberCellFor(x.RecordTotal())));
            if (fixed && row.caption)
                line.append(static_cast<size_t>(numberWidth_), ' ');
            else if (fixed)
                AppendPadded(line, *row.rowNumber, numberWidth_, 2);
            else if (type_ == xtCSV)
                AppendQuoteValue(line, *row.rowNumber, false);
            else
                AppendOneLine(line, *row.rowNumber, kNothing, true);
            line += separator;
        }
        const bool align = x.Options.Has(xoUseAlignments);
        for (const TovCell& cell : row.cells) {
            if (!first) line += separator;
            first = false;
            if (fixed)
                AppendPadded(line, cell.text, cell.width, align ? cell.alignment : 1);
            else if (type_ == xtCSV)
                AppendQuoteValue(line, cell.text, false);
            else
                AppendOneLine(line, cell.text, kNothing, true);
        }
        out_.Add(line);
    }

    void Footer(const std::vector<std::string>& lines) override {
        if (type_ == xtCSV) return;
        Separator(false);
        for (const auto& line : lines) out_.Add(line);
        if (x.Options.Has(xoShowExportDate)) out_.Add(x.CreatedLine());
    }

    void End() override {
        out_.Save();
        if (type_ == xtClipboard && x.Options.Has(xoClipboardMessage))
            x.messages().Mesaj("Informatie", x.Messages.CopiedToClipboard, mkInformation, mbOK);
    }

  private:
    void Separator(bool header) {
        if (type_ != xtTXT && type_ != xtClipboard) return;
        const std::string line = x.SeparatorLine(header);
        if (!line.empty()) out_.Add(line);
    }

    TovExportType type_;
    int numberWidth_ = -1;  // of the widest row number, found on the first numbered row
    TextOutput out_;
    std::string line_;
};

}  // namespace

std::unique_ptr<TovFormatWriter> MakeTextWriter(TovCustomExport& engine,
                                                const std::string& target) {
    return std::make_unique<TextWriter>(engine, target);
}

}  // namespace orbelan
