// One row of texts that look like markup, RTF, quoting or formulas, through every format: each
// file still reads as its format and gives every text back as text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>

#include "export/format_writers.h"
#include "fuzz/targets.h"
#include "support/fake_platform.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "tests/export/biff_reader.h"
#include "tests/export/memory_export.h"

namespace orbelan {
namespace {

const std::vector<std::string> kHostile = {"<script>alert(1)</script>",
                                           "&amp;",
                                           "{\\rtf1\\par} \\\\ {{}",
                                           "\"a\";\"b\"",
                                           "x,y",
                                           "x;y",
                                           "x\ty",
                                           "x\r\ny",
                                           "=CMD|' /C calc'!A0"};

// The text of an RTF document's table cells, control words and groups left out.
std::vector<std::string> RtfCells(const std::string& doc) {
    std::vector<std::string> cells;
    std::string text;
    for (size_t i = 0; i < doc.size(); ++i) {
        const char c = doc[i];
        if (c == '{' || c == '}' || c == '\r' || c == '\n') continue;
        if (c != '\\') {
            text += c;
            continue;
        }
        const char next = i + 1 < doc.size() ? doc[i + 1] : '\0';
        if (next == '\\' || next == '{' || next == '}') {
            text += next;
            ++i;
        } else if (next == '\'') {
            text += static_cast<char>(std::stoi(doc.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            size_t end = i + 1;
            while (end < doc.size() && std::isalpha(static_cast<unsigned char>(doc[end]))) ++end;
            const std::string word = doc.substr(i + 1, end - i - 1);
            while (end < doc.size() && (doc[end] == '-' || std::isdigit(doc[end]))) ++end;
            if (end < doc.size() && doc[end] == ' ') ++end;
            i = end - 1;
            if (word == "cell") {
                cells.push_back(text);
                text.clear();
            } else if (word == "trowd") {
                text.clear();
            }
        }
    }
    return cells;
}

// The contents of the HTML cells, entities decoded.
std::vector<std::string> HtmlCells(const std::string& page) {
    std::vector<std::string> cells;
    for (size_t at = page.find("<small>"); at != std::string::npos; at = page.find("<small>", at)) {
        at += 7;
        const std::string raw = page.substr(at, page.find("</small>", at) - at);
        std::string text;
        for (size_t i = 0; i < raw.size(); ++i) {
            bool entity = false;
            for (const auto& [name, c] : {std::pair{"&amp;", '&'}, std::pair{"&lt;", '<'},
                                          std::pair{"&gt;", '>'}, std::pair{"&quot;", '"'}}) {
                if (raw.compare(i, std::string(name).size(), name) == 0) {
                    text += c;
                    i += std::string(name).size() - 1;
                    entity = true;
                    break;
                }
            }
            if (!entity) text += raw[i];
        }
        cells.push_back(text);
    }
    return cells;
}

// A value's line breaks (and tabs when asked) as the formats without an escape write them.
std::string Blanked(std::string text, bool tabs) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\r\n") == 0) ++i;
        const bool blank = text[i] == '\r' || text[i] == '\n' || (tabs && text[i] == '\t');
        out += blank ? ' ' : text[i];
    }
    return out;
}

std::string Without(std::string text, const std::string& bytes) {
    std::erase_if(text, [&](char c) { return bytes.find(c) != std::string::npos; });
    return text;
}

std::vector<std::string> LastCells(std::vector<std::string> cells) {
    if (cells.size() < kHostile.size()) return cells;
    return {cells.end() - static_cast<long>(kHostile.size()), cells.end()};
}

TEST(HostileExport, EveryFormatParsesAndGivesTheTextsBack) {
    test::TempDir dir;
    test::ScriptedUi ui;
    test::FakePlatform platform;
    platform.tempFolder = dir.Path().string() + "/";
    test::MemoryExport x{ui, ui, platform};
    x.SetTempDir(platform.tempFolder);
    x.captions.clear();
    for (size_t i = 0; i < kHostile.size(); ++i) x.captions.push_back("C" + std::to_string(i));
    x.alignments.assign(kHostile.size(), 1);
    x.rows = {kHostile};
    x.Options = {xoShowHeader};

    using Reader = std::function<std::vector<std::string>(const std::string&)>;
    const auto lastRecord = [](const std::vector<std::vector<std::string>>& records) {
        return records.empty() ? std::vector<std::string>() : records.back();
    };
    const auto same = [](const std::string& t) { return t; };
    struct Case {
        TovExportType type;
        const char* file;
        Reader read;
        std::function<std::string(const std::string&)> expected;
    };
    const std::vector<Case> cases = {
        {xtCSV, "h.csv", [&](const std::string& f) { return lastRecord(fuzz::ParseCsv(f)); }, same},
        {xtTAB, "h.txt",
         [&](const std::string& f) {
             std::vector<std::string> cells;
             const auto lines = fuzz::Lines(f);
             if (lines.size() != 2) return cells;
             for (size_t start = 0;;) {
                 const size_t tab = lines[1].find('\t', start);
                 cells.push_back(lines[1].substr(start, tab - start));
                 if (tab == std::string::npos) return cells;
                 start = tab + 1;
             }
         },
         [](const std::string& t) { return Blanked(t, true); }},
        {xtDIF, "h.dif",
         [&](const std::string& f) { return lastRecord(fuzz::ParseDif(fuzz::Lines(f))); },
         [](const std::string& t) { return Blanked(t, false); }},
        {xtSYLK, "h.slk",
         [&](const std::string& f) { return lastRecord(fuzz::ParseSylk(fuzz::Lines(f), false)); },
         [](const std::string& t) { return Blanked(t, false); }},
        {xtHTML, "h.html", [](const std::string& f) { return LastCells(HtmlCells(f)); }, same},
        // RTF leaves line breaks out of a value.
        {xtRTF, "h.rtf", [](const std::string& f) { return LastCells(RtfCells(f)); },
         [](const std::string& t) { return Without(t, "\r\n"); }},
        {xtWord, "h.doc", [](const std::string& f) { return LastCells(RtfCells(f)); },
         [](const std::string& t) { return Without(t, "\r\n"); }},
        {xtExcel, "h.xls",
         [](const std::string& f) {
             std::vector<std::string> cells;
             const auto biff = test::BiffCells(f);
             for (int c = 0; c < static_cast<int>(kHostile.size()); ++c) {
                 const auto it = biff.find({1, c});
                 cells.push_back(it == biff.end() ? "<none>" : it->second.text);
             }
             return cells;
         },
         same},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        x.SetExportType(c.type);
        x.ExportStyle = xsFile;
        x.FileName = dir.File(c.file);
        x.ExportData();
        ASSERT_EQ(x.LastErrorText(), "");
        const std::string bytes = test::ReadFileBytes(x.WrittenFile());
        std::string lower = bytes;
        for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (c.type == xtHTML) {
            EXPECT_EQ(lower.find("<script"), std::string::npos);
        }
        std::vector<std::string> got;
        try {
            got = c.read(bytes);
        } catch (const fuzz::FormatViolation&) {
            ADD_FAILURE() << "not a well-formed file:\n" << bytes;
            continue;
        }
        std::vector<std::string> want;
        for (const std::string& t : kHostile) want.push_back(c.expected(t));
        EXPECT_EQ(got, want) << bytes;
    }

    // The fixed-width text and the clipboard are for reading: every text is there as it was.
    x.SetExportType(xtTXT);
    x.FileName = dir.File("h.prn");
    x.ExportData();
    const std::string text = test::ReadFileBytes(x.WrittenFile());
    x.SetExportType(xtClipboard);
    x.ExportData();
    for (const std::string& t : kHostile) {
        EXPECT_NE(text.find(t), std::string::npos) << t;
        EXPECT_NE(platform.clipboard.find(t), std::string::npos) << t;
    }
}

}  // namespace
}  // namespace orbelan
