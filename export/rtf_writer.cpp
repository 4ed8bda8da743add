// RTF and Word: one RTF table row per record, built and written row by row.
#include <cmath>

#include "core/platform.h"
#include "core/rtf_text.h"
#include "engine/codepage.h"
#include "engine/file_io.h"
#include "export/format_writers.h"

namespace orbelan {

std::string RtfText(const TovCustomExport& engine, std::string_view utf8) {
    return RtfTextWriter(engine.Page(), {}).Text(utf8);
}

namespace {

// Colour slots: default text, caption text, table text, table background, caption background,
// odd row background.
constexpr uint32_t kTemplates[4][6] = {
    {0x000000, 0xFFFFFF, 0x000000, 0xFFFFFF, 0x800000, 0x00FF80},
    {0x000000, 0x0000FF, 0x000000, 0xFF0000, 0x000000, 0xFF8080},
    {0x000000, 0xFFFFFF, 0x000000, 0xFFFFFF, 0x0000FF, 0x00FF80},
    {0x000000, 0xFFFFFF, 0x000000, 0xFFFFFF, 0x808080, 0x80FF80},
};

// The font character set of a code page, which tells readers how to take the \'xx fallbacks.
int FontCharset(const std::string& page) {
    static const std::pair<const char*, int> kCharsets[] = {
        {"cp1250", 238}, {"cp1251", 204},   {"cp1252", 0},        {"cp1253", 161},
        {"cp1254", 162}, {"cp1255", 177},   {"cp1256", 178},      {"cp1257", 186},
        {"cp1258", 163}, {"cp874", 222},    {"iso8859_1", 0},     {"iso8859_2", 238},
        {"cp437", 254},  {"mac_roman", 77}, {"mac_cyrillic", 89}, {"mac_latin2", 88},
    };
    for (const auto& [name, charset] : kCharsets)
        if (page == name) return charset;
    return 255;  // the other DOS pages: the OEM character set
}

std::string FontEntry(int n, const TovFont& font, int charset) {
    std::string lower = font.name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const char* family = "fswiss";
    if (lower.find("courier") != std::string::npos || lower.find("mono") != std::string::npos)
        family = "fmodern";
    else if (lower.find("times") != std::string::npos || lower.find("serif") == 0 ||
             lower.find("roman") != std::string::npos)
        family = "froman";
    return "{\\f" + std::to_string(n) + "\\" + family + "\\fcharset" + std::to_string(charset) +
           " " + font.name + ";}";
}

std::string FontAttributes(const TovFont& font) {
    return "\\fs" + std::to_string(font.size * 2) + (font.bold ? "\\b" : "") +
           (font.italic ? "\\i" : "") + (font.underline ? "\\ul" : "") +
           (font.strikeOut ? "\\strike" : "");
}

// A Letter page in twips, the page readers assume when a document names none.
constexpr long kPaperShort = 12240, kPaperLong = 15840;

class RtfWriter : public TovFormatWriter {
  public:
    RtfWriter(TovCustomExport& engine, const std::string& target)
        : TovFormatWriter(engine), r(engine.DOC_RTF), file_(target), text_(engine.Page(), {}) {}

    void Begin() override {
        const TovRTFColors& f = r.CustomSettings;
        const int charset = FontCharset(x.Page().Name());
        Put("{\\rtf1\\ansi\\deff0\\deftab720\r\n{\\fonttbl" + FontEntry(0, f.DefaultFont, charset) +
            FontEntry(1, f.HeaderFont, charset) + FontEntry(2, f.TableFont, charset) +
            "}\r\n{\\colortbl");
        for (int slot : {0, 1, 2, 4, 3, 5}) {
            const uint32_t c = Color(slot);
            Put("\\red" + std::to_string(c & 0xFF) + "\\green" + std::to_string((c >> 8) & 0xFF) +
                "\\blue" + std::to_string((c >> 16) & 0xFF) + ";");
        }
        const int cells = x.ColumnCount() + (x.Options.Has(xoRowNumbers) ? 1 : 0);
        const int ppi = x.platform().PixelsPerInch();
        for (int k = 1; k <= cells; ++k)
            edges_.push_back(
                static_cast<long>(std::nearbyint(k * 100.0 / (ppi > 0 ? ppi : 96) * r.CellWidth)));
        const std::string margins =
            "\\margl" + std::to_string(r.LeftMargin) + "\\margr" + std::to_string(r.RightMargin) +
            "\\margt" + std::to_string(r.TopMargin) + "\\margb" + std::to_string(r.BottomMargin);
        const long tableWidth = edges_.empty() ? 0 : edges_.back();
        const long sides = static_cast<long>(r.LeftMargin) + r.RightMargin;
        if (tableWidth <= kPaperShort - sides) {
            Put("}\r\n" + margins);
            return;
        }
        // Wider than a portrait page: the page is turned and the columns shrink to its width,
        // their texts wrapping, rather than running past the paper's edge.
        Put("}\r\n\\paperw" + std::to_string(kPaperLong) + "\\paperh" +
            std::to_string(kPaperShort) + margins + "\\landscape");
        const long textWidth = kPaperLong - sides;
        if (tableWidth <= textWidth || textWidth < static_cast<long>(edges_.size())) return;
        for (long& edge : edges_)
            edge = static_cast<long>(static_cast<long long>(edge) * textWidth / tableWidth);
    }

    void HeaderLines(const std::vector<std::string>& lines) override {
        for (const auto& line : lines) Paragraph(line);
        Put("\\par \\pard\\plain\\cgrid\r\n"
            "{\\stylesheet{\\nowidctlpar\\widctlpar\\adjustright \\fs20\\cgrid \\snext0 "
            "Normal;}\r\n"
            "{\\*\\cs10 \\additive Default Paragraph Font;}}\r\n"
            "{\\*\\pnseclvl1\\pnucrm\\pnstart1\\pnindent720\\pnhang{\\pntxta.}}\r\n"
            "{\\*\\pnseclvl2\\pnucltr\\pnstart1\\pnindent720\\pnhang{\\pntxta .}}\r\n"
            "{\\*\\pnseclvl3\\pndec\\pnstart1\\pnindent720\\pnhang{\\pntxta.}}\r\n"
            "{\\*\\pnseclvl4\\pnlcltr\\pnstart1\\pnindent720\\pnhang{\\pntxta)}}\r\n"
            "{\\*\\pnseclvl5\\pndec\\pnstart1\\pnindent720\\pnhang{\\pntxtb (}{\\pntxta)}}\r\n"
            "{\\*\\pnseclvl6\\pnlcltr\\pnstart1\\pnindent720\\pnhang{\\pntxtb (}{\\pntxta )}}\r\n"
            "{\\*\\pnseclvl7\\pnlcrm\\pnstart1\\pnindent720\\pnhang{\\pntxtb (}{\\pntxta)}}\r\n"
            "{\\*\\pnseclvl8\\pnlcltr\\pnstart1\\pnindent720\\pnhang{\\pntxtb (}{\\pntxta)}}\r\n"
            "{\\*\\pnseclvl9\\pnlcrm\\pnstart1\\pnindent720\\pnhang{\\pntxtb (}{\\pntxta )}}\r\n");
    }

    void Row(const TovRow& row) override {
        const int kind = row.caption                                                   ? 0
                         : r.Options.Has(roOddRowColoring) && x.RecordsRead() % 2 == 1 ? 2
                                                                                       : 1;
        Put(RowStart(kind));  // written as it is, not copied into the row's text first
        std::string& text = line_;
        text.clear();
        if (row.rowNumber) {
            if (row.caption) {
                text += " \\cell ";
            } else {
                text_.Append(text, *row.rowNumber);
                text += "\\cell ";
            }
        }
        const bool align = x.Options.Has(xoUseAlignments);
        for (const TovCell& cell : row.cells) {
            static const char* const kAlign[] = {"", "\\ql ", "\\qr ", "\\qc "};
            if (align && cell.alignment >= 0 && cell.alignment <= 3) text += kAlign[cell.alignment];
            text_.Append(text, cell.text);
            text += "\\cell ";
        }
        text += "}\\pard \\nowidctlpar\\widctlpar\\intbl\\adjustright {\\row}\r\n";
        Put(text);
    }

    void TableEnd() override { Put("\\pard\\nowidctlpar\\widctlpar\\adjustright {\r\n"); }

    void Footer(const std::vector<std::string>& lines) override {
        for (const auto& line : lines) Paragraph(line);
        if (x.Options.Has(xoShowExportDate)) Paragraph(x.CreatedLine());
    }

    void End() override {
        Put("}}");
        file_.Finish();
        file_.RenameOverTarget();
    }

  private:
    // The row definition and the paragraph start: the caption row's (0), an even record's (1)
    // and an odd one's (2). Made once.
    const std::string& RowStart(int kind) {
        std::string& start = rowStarts_[kind];
        if (!start.empty()) return start;
        static const char* const kShading[] = {" \\clcbpat3", " \\clcbpat4", " \\clcbpat5"};
        start = "\\trowd\\trgaph108\\trrh260\\trleft0";
        for (long edge : edges_) {
            start += "\\clvertalc";
            if (r.Options.Has(roShowGridLines))
                start +=
                    "\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10\\clbrdrb\\brdrs\\brdrw10"
                    "\\clbrdrr\\brdrs\\brdrw10";
            start += kShading[kind];
            start += "\\cltxlrtb\\cellx" + std::to_string(edge);
        }
        const bool caption = kind == 0;
        const TovFont& font = caption ? r.CustomSettings.HeaderFont : r.CustomSettings.TableFont;
        start += "\\pard\\ri-123\\nowidctlpar\\widctlpar\\intbl\\adjustright";
        start += std::string(caption ? " {\\f1" : " {\\f2") + FontAttributes(font) +
                 (caption ? "\\cf1" : "\\cf2") + "\\cgrid0 ";
        return start;
    }

    void Put(const std::string& bytes) { file_.Write(bytes.data(), bytes.size()); }

    void Paragraph(const std::string& line) {
        Put("\\par \\pard\\plain\\f0" + FontAttributes(r.CustomSettings.DefaultFont) + "\\cf0 " +
            text_.Text(line) + "\r\n");
    }

    uint32_t Color(int slot) const {
        if (r.Template != rtCustom) return kTemplates[r.Template][slot];
        const TovRTFColors& c = r.CustomSettings;
        const uint32_t custom[6] = {c.DefaultFont.color, c.HeaderFont.color, c.TableFont.color,
                                    c.TableBackground,   c.HeaderBackground, c.TableOddBackground};
        return custom[slot];
    }

    const TovRTFOptions& r;
    TempFile file_;
    RtfTextWriter text_;
    std::vector<long> edges_;
    std::string rowStarts_[3];
    std::string line_;
};

}  // namespace

std::unique_ptr<TovFormatWriter> MakeRtfWriter(TovCustomExport& engine, const std::string& target) {
    return std::make_unique<RtfWriter>(engine, target);
}

}  // namespace orbelan
