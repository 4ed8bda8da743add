// The HTML page: colour templates, the table of records, escaped texts.
#include <cstdio>
#include <string_view>

#include "engine/codepage.h"
#include "export/format_writers.h"
#include "export/text_output.h"

namespace orbelan {

void AppendHtmlEscaped(std::string& out, std::string_view text) {
    static constexpr ByteSet kSpecial("&<>\"");
    size_t start = 0;
    for (size_t i = kSpecial.Find(text, 0); i < text.size(); i = kSpecial.Find(text, start)) {
        out.append(text.substr(start, i - start));
        switch (text[i]) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                out += "&quot;";
                break;
        }
        start = i + 1;
    }
    out.append(text.substr(start));
}

std::string HtmlEscape(const std::string& text) {
    std::string out;
    AppendHtmlEscaped(out, text);
    return out;
}

namespace {

// The name browsers know for a code page the engine knows (the engine's names are canonical:
// "cp1250", "iso8859_2", "mac_roman" ...).
std::string CharsetLabel(const std::string& page) {
    static const std::pair<const char*, const char*> kSpecial[] = {
        {"iso8859_1", "iso-8859-1"},        {"iso8859_2", "iso-8859-2"}, {"mac_roman", "macintosh"},
        {"mac_cyrillic", "x-mac-cyrillic"}, {"mac_latin2", "x-mac-ce"},
    };
    for (const auto& [name, label] : kSpecial)
        if (page == name) return label;
    if (page.rfind("cp", 0) == 0) {
        const std::string number = page.substr(2);
        // Windows pages are 874 and 125x; the rest are DOS pages.
        return (number == "874" || number.rfind("125", 0) == 0 ? "windows-" : "ibm") + number;
    }
    return page;
}

// Slots: active link, background, link, text, visited link, caption background, caption text,
// table background, odd row background, table text.
constexpr uint32_t kTemplates[8][10] = {
    {0xFF0000, 0xFFFFFF, 0x0000FF, 0x000000, 0xFFFF00, 0x336699, 0xFFFFFF, 0xFFFFCF, 0xFFFFFF,
     0x000000},
    {0xBBBBBB, 0xFFFFFF, 0xAAAAAA, 0x000000, 0xDDDDDD, 0x000000, 0xFFFFFF, 0xFFFFFF, 0xF3F3F3,
     0x000000},
    {0xFF0000, 0x339966, 0x0066CC, 0x000000, 0x923FC1, 0x000000, 0xFF0000, 0x006BCE, 0x007AEC,
     0xFFFFFF},
    {0xFF0000, 0x339966, 0x0066CC, 0x000000, 0x923FC1, 0xCC0033, 0xFFFFFF, 0xFFFFFF, 0xFAF100,
     0xFFFFFF},
    {0xFFFF00, 0x317676, 0xDDE760, 0xFFE760, 0xCCCC39, 0x3A9393, 0xFFFFFF, 0x004040, 0x000000,
     0xFFFFFF},
    {0xFF0000, 0xFFFFFF, 0x0000FF, 0x000000, 0xFFFF00, 0x808080, 0xFFFFFF, 0xFFFFFF, 0xEEEEEE,
     0x000000},
    {0xFF0000, 0xFFFFFF, 0x0000FF, 0x000000, 0xAABBAA, 0xCEC6B5, 0x000000, 0xDEE7DE, 0xFFFBF0,
     0x000080},
    {0xFF0000, 0xFFFFFF, 0x0000FF, 0x5F605F, 0xFFFF00, 0xCFC890, 0x000000, 0xFFFFFF, 0xFFFFCF,
     0x000000},
};

// An address is linked only when the value is one, starting with a scheme the page knows;
// "javascript:... http:" stays text.
bool IsLink(const std::string& text) {
    for (const char* scheme : {"http:", "https:", "ftp:", "news:", "nntp:", "mailto:"}) {
        if (text.rfind(scheme, 0) == 0) return true;
    }
    return false;
}

class HtmlWriter : public TovFormatWriter {
  public:
    HtmlWriter(TovCustomExport& engine, const std::string& target)
        : TovFormatWriter(engine), h(engine.HTML), out_(engine, target, false) {}

    void Begin() override {
        oddRow_ = "   <TR BGCOLOR=\"" + Color(8) + "\">";
        out_.AddLine("<HTML>");
        out_.AddLine(" <HEAD>");
        out_.AddLine("  <META HTTP - EQUIV = \"Content - Type\" CONTENT = \"TEXT/HTML\">");
        // The line above names no charset a browser reads: without this one a page in cp1250
        // shows "ªtefan" for "Ştefan".
        out_.AddLine("  <META CHARSET=\"" + CharsetLabel(x.Page().Name()) + "\">");
        out_.AddLine("  <META NAME = \"GENERATOR\" CONTENT = \"Tarvelune\" >");
        out_.AddLine("  <META NAME = \"Author\" CONTENT = \"Odrin Vasquel\" >");
        out_.AddLine("  <META NAME = \"Description\" CONTENT = \"http://www.orbelan.example/\" >");
        if (h.Options.Has(hoDisplayTitle))
            out_.AddLine("  <TITLE>" + HtmlEscape(h.Title) + "</TITLE>");
        out_.AddLine(" </HEAD>");
        out_.AddLine(" <BODY BGCOLOR=\"" + Color(1) + "\" LINK=\"" + Color(2) + "\" ALINK=\"" +
                     Color(0) + "\" VLINK=\"" + Color(4) + "\" TEXT=\"" + Color(3) + "\">");
        out_.AddLine(" <FONT COLOR=\"" + Color(3) + "\" FACE=\"" +
                     HtmlEscape(h.Template == ctCustom ? h.CustomColors.DefaultFontFace
                                                       : std::string("Arial,Helvetica")) +
                     "\">");
    }

    void HeaderLines(const std::vector<std::string>& lines) override {
        for (const auto& line : lines) out_.Add(line);
        // The table starts after the header lines, with or without a caption row.
        out_.AddLine(std::string("  <TABLE WIDTH=\"100%\" CELLPADDING=\"4\" CELLSPACING=\"0\"") +
                     (h.Options.Has(hoShowGridLines) ? " BORDER=\"1\"" : "") + " BGCOLOR=\"" +
                     Color(7) + "\">");
        out_.AddLine("  <FONT COLOR=\"" + Color(9) + "\" FACE=\"" +
                     HtmlEscape(h.Template == ctCustom ? h.CustomColors.TableFontFace
                                                       : std::string("Arial,Helvetica")) +
                     "\">");
        out_.AddLine("   <TR BGCOLOR=\"" + Color(5) + "\">");
    }

    void Row(const TovRow& row) override {
        if (!row.caption) {
            if (h.Options.Has(hoOddRowColoring) && x.RecordsRead() % 2 == 1)
                out_.AddLine(oddRow_);
            else
                out_.AddLine("   <TR>");
        }
        if (row.rowNumber) {
            out_.AddLine(row.caption
                             ? std::string("    <TD>&nbsp;</TD>")
                             : "    <TD ALIGN=\"Right\">" + HtmlEscape(*row.rowNumber) + "</TD>");
        }
        for (const TovCell& cell : row.cells) {
            std::string& line = line_;
            line.assign(CellStart(cell, row.caption));
            const bool link = !row.caption && h.Options.Has(hoAutoLink) && cell.value &&
                              *cell.value && IsLink(**cell.value);
            const size_t textStart = line.size();
            if (link) {
                line += "<A HREF=\"";
                AppendHtmlEscaped(line, **cell.value);
                line += "\">";
                AppendHtmlEscaped(line, **cell.value);
                line += "</A>";
            } else {
                AppendHtmlEscaped(line, cell.text);
            }
            if (line.size() == textStart) line += "&nbsp;";
            line += row.caption ? "</small></FONT>" : "</small></TD>";
            if (row.caption) line += h.Options.Has(hoBoldHeaders) ? "</B></TD>" : "</TD>";
            out_.Add(line);
        }
        out_.AddLine("   </TR>");
    }

    void TableEnd() override {
        out_.AddLine("  </FONT>");
        out_.AddLine("  </TABLE>");
    }

    void Footer(const std::vector<std::string>& lines) override {
        const std::string separator = x.SeparatorLine(false);
        if (!separator.empty()) out_.AddLine(separator);
        for (const auto& line : lines) out_.Add(line);
        if (x.Options.Has(xoShowExportDate)) out_.Add(HtmlEscape(x.CreatedLine()));
    }

    void End() override {
        out_.AddLine(" </FONT>");
        out_.AddLine(" </BODY>");
        out_.AddLine("</HTML>");
        out_.Save();
    }

  private:
    // "    <TD WIDTH=.. ALIGN=..><small>" of a column, made once per column and row kind.
    const std::string& CellStart(const TovCell& cell, bool caption) {
        auto& starts = caption ? captionStarts_ : cellStarts_;
        const size_t column = static_cast<size_t>(cell.column);
        if (starts.size() <= column) starts.resize(column + 1);
        std::string& start = starts[column];
        if (!start.empty()) return start;
        static const char* const kAlign[] = {"", " ALIGN=\"Left\" ", " ALIGN=\"Right\" ",
                                             " ALIGN=\"Center\" "};
        start = "    <TD";
        if (column < x.ColumnWidths.size())
            start += " WIDTH=\"" + HtmlEscape(x.ColumnWidths[column]) + "\"";
        if (x.Options.Has(xoUseAlignments) && cell.alignment >= 0 && cell.alignment <= 3)
            start += kAlign[cell.alignment];
        start += '>';
        if (caption) {
            if (h.Options.Has(hoBoldHeaders)) start += "<B>";
            start += "<FONT COLOR=\"" + Color(6) + "\">";
        }
        start += "<small>";
        return start;
    }

    std::string Color(int slot) const {
        uint32_t value = 0;
        if (h.Template == ctCustom) {
            const TovHTMLColors& c = h.CustomColors;
            const uint32_t custom[10] = {
                c.ActiveLink,         c.Background,       c.DefaultLink,      c.DefaultText,
                c.VisitedLink,        c.HeaderBackground, c.HeadersFontColor, c.TableBackground,
                c.TableOddBackground, c.TableFontColor};
            value = custom[slot];
        } else {
            value = kTemplates[h.Template][slot];
        }
        char text[16];
        std::snprintf(text, sizeof text, "#%.6X", static_cast<unsigned>(value));
        return text;
    }

    const TovHTMLOptions& h;
    TextOutput out_;
    std::string line_, oddRow_;
    std::vector<std::string> cellStarts_, captionStarts_;
};

}  // namespace

std::unique_ptr<TovFormatWriter> MakeHtmlWriter(TovCustomExport& engine,
                                                const std::string& target) {
    return std::make_unique<HtmlWriter>(engine, target);
}

}  // namespace orbelan
