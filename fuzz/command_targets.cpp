// The targets over the command code: the RTF letter template and the sheet text writers.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/platform.h"
#include "engine/codepage.h"
#include "engine/errors.h"
#include "export/custom_export.h"
#include "fuzz/targets.h"
#include "letters/rtf_replace.h"
#include "support/scripted_ui.h"

namespace orbelan::fuzz {
namespace {

class QuietPlatform : public Platform {
  public:
    void ShellOpen(const std::string&) override {}
    void SetClipboardText(const std::string&) override {}
    void RegisterExtension(const std::string&, const std::string&) override {}
    std::string TempFolder() override { return ScratchDir(); }
    int PixelsPerInch() override { return 96; }

    // A folder of this process for the documents written, in memory when the system has one;
    // removed when the process ends.
    static const std::string& ScratchDir() {
        struct Folder {
            std::string path;
            Folder() {
                const bool shm = std::filesystem::is_directory("/dev/shm");
                const std::filesystem::path base = shm ? std::filesystem::path("/dev/shm")
                                                       : std::filesystem::temp_directory_path();
                path =
                    (base / ("orbelan-fuzz-" + std::to_string(std::random_device{}()))).string() +
                    "/";
                std::filesystem::create_directories(path);
            }
            ~Folder() {
                std::error_code ec;
                std::filesystem::remove_all(path, ec);
            }
        };
        static const Folder folder;
        return folder.path;
    }
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

void RtfTemplateInput(const uint8_t* data, size_t size) {
    const InputFile file("fuzz.rtf", data, size);
    if (file.Path().empty()) return;
    QuietPlatform platform;
    {
        TRTFReplace letter(platform);
        letter.RTFSursa = file.Path();
        letter.RTFDest = QuietPlatform::ScratchDir() + "scrisoare.rtf";
        try {
            if (letter.BeginDocument()) {
                letter.AddPair("NUME", "Pop {\\b Ion}\\par [NUME] \\u351?");
                letter.AddPair("ADRESA",
                               "<script>alert(1)</script> &amp; \"a\";\"b\"\r\nStr. \xC5\x9E"
                               "tefan");
                letter.AddPair("SUMA", "");
                letter.MergeBody(2);
                letter.PageBreak();
                letter.AddPair("nume", "[ADRESA]");
                letter.MergeBody(1);
                letter.EndDocument();
            }
        } catch (const DbfError&) {
        }
    }
}

namespace {

// Rows of three texts from memory.
class Rows : public TovCustomExport {
  public:
    using TovCustomExport::TovCustomExport;
    std::vector<std::string> captions{"NUME", "NR", "OBS"};
    std::vector<std::vector<std::string>> rows;
    size_t next = 0;

  protected:
    void FirstRecord() override { next = 0; }
    bool SourceReady() override { return true; }
    bool AllRecordsRead() override { return next >= rows.size(); }
    bool IsColumnVisible(int) override { return true; }
    bool IsRecordSelected() override { return true; }
    int GetColumnWidth(int) override { return 6; }
    std::string GetColumnCaption(int column) override {
        return captions[static_cast<size_t>(column)];
    }
    int GetColumnCount() override { return 3; }
    void ReadRecord(TovValues& values) override {
        values.assign(rows[next].begin(), rows[next].end());
        ++next;
    }
    int CountRecords() override { return static_cast<int>(rows.size()); }
};

[[noreturn]] void Violation() {
    throw FormatViolation("the file breaks its format");
}

}  // namespace

// The records of a CSV file: a field opened by a quote runs to the closing quote (a doubled
// quote is one); any other field runs to the comma, a doubled quote in it being one.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> records;
    size_t i = 0;
    while (i < text.size()) {
        std::vector<std::string> record;
        for (;;) {
            std::string field;
            if (i < text.size() && text[i] == '"') {
                for (++i;; ++i) {
                    if (i >= text.size()) Violation();
                    if (text[i] != '"') {
                        field += text[i];
                    } else if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        ++i;
                    } else {
                        ++i;
                        break;
                    }
                }
            } else {
                while (i < text.size() && text[i] != ',' && text[i] != '\r') {
                    field += text[i];
                    if (text[i] == '"') {
                        if (i + 1 >= text.size() || text[i + 1] != '"') Violation();
                        ++i;
                    }
                    ++i;
                }
            }
            record.push_back(field);
            if (i < text.size() && text[i] == ',') {
                ++i;
                continue;
            }
            if (text.compare(i, 2, "\r\n") != 0) Violation();
            i += 2;
            break;
        }
        records.push_back(record);
    }
    return records;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) Violation();  // every line ends with CR LF
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

namespace {

// A quoted value in which `doubled` bytes are written twice.
std::string Unquote(const std::string& quoted, const std::string& doubled) {
    if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') Violation();
    std::string value;
    for (size_t i = 1; i + 1 < quoted.size(); ++i) {
        value += quoted[i];
        if (doubled.find(quoted[i]) != std::string::npos) {
            if (i + 2 >= quoted.size() || quoted[i + 1] != quoted[i]) Violation();
            ++i;
        }
    }
    return value;
}

}  // namespace

// The DIF data part: each tuple "-1,0" BOT, then "1,0" and a quoted string per cell; EOD.
std::vector<std::vector<std::string>> ParseDif(const std::vector<std::string>& lines) {
    size_t i = 0;
    while (i < lines.size() && lines[i] != "DATA") ++i;
    if (i + 3 > lines.size() || lines[i + 1] != "0,0" || lines[i + 2] != "\"\"") Violation();
    i += 3;
    std::vector<std::vector<std::string>> records;
    for (;;) {
        if (i + 2 > lines.size() || lines[i] != "-1,0") Violation();
        if (lines[i + 1] == "EOD") {
            if (i + 2 != lines.size()) Violation();
            return records;
        }
        if (lines[i + 1] != "BOT") Violation();
        i += 2;
        records.emplace_back();
        while (i < lines.size() && lines[i] != "-1,0") {
            if (lines[i] != "1,0" || i + 1 >= lines.size()) Violation();
            records.back().push_back(Unquote(lines[i + 1], "\""));
            i += 2;
        }
    }
}

// SYLK: "ID;P..." first, "E" last, between them C;X<col>;Y<row>;K"<value>" records.
std::vector<std::vector<std::string>> ParseSylk(const std::vector<std::string>& lines,
                                                bool numbers) {
    if (lines.size() < 2 || lines.front().rfind("ID;P", 0) != 0 || lines.back() != "E") Violation();
    std::vector<std::vector<std::string>> records;
    for (size_t i = 1; i + 1 < lines.size(); ++i) {
        const std::string& l = lines[i];
        size_t col = 0, row = 0, pos = 0;
        if (std::sscanf(l.c_str(), "C;X%zu;Y%zu;K%zn", &col, &row, &pos) != 2 || pos == 0)
            Violation();
        if (row < 1 || row > records.size() + 1) Violation();
        if (row == records.size() + 1) records.emplace_back();
        const std::string value = Unquote(l.substr(pos), ";\"");
        if (numbers && col == 1) continue;  // the row number
        if (col != records.back().size() + (numbers ? 2 : 1)) Violation();
        records.back().push_back(value);
    }
    return records;
}

namespace {

// The text a cell's bytes become in the file: line breaks are one CR LF in CSV, one blank in
// DIF and SYLK.
std::string Expected(const std::string& bytes, bool csv) {
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') {
            out += c;
            continue;
        }
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        out += csv ? "\r\n" : " ";
    }
    return out;
}

}  // namespace

void SheetExportInput(const uint8_t* data, size_t size) {
    if (size == 0) return;
    const uint8_t mode = data[0];
    static constexpr TovExportType kTypes[] = {xtCSV, xtDIF, xtSYLK};
    const TovExportType type = kTypes[mode % 3];
    const bool numbers = (mode & 4) != 0, header = (mode & 8) == 0, hostileCaptions = mode & 16;
    // Cells in the code page's bytes; the engine gets them as UTF-8.
    std::vector<std::string> cells;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    for (size_t start = 0;;) {
        const size_t end = rest.find('\0', start);
        cells.push_back(rest.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos || cells.size() >= 192) break;
        start = end + 1;
    }
    while (cells.size() % 3 != 0) cells.emplace_back();

    test::ScriptedUi ui;
    QuietPlatform platform;
    Rows x(ui, ui, platform);
    const CodePage& page = *CodePage::Get("cp1250");
    std::vector<std::vector<std::string>> expected;
    for (size_t c = 0; c < cells.size(); c += 3) {
        std::vector<std::string> row;
        for (size_t k = 0; k < 3; ++k) row.push_back(page.Decode(cells[c + k]));
        if (hostileCaptions && c == 0)
            x.captions = row;
        else
            x.rows.push_back(row);
        if (header || !hostileCaptions || c > 0)
            expected.emplace_back(cells.begin() + static_cast<long>(c),
                                  cells.begin() + static_cast<long>(c + 3));
    }
    x.SetTempDir(QuietPlatform::ScratchDir());
    x.Now = [] { return std::string("01.02.2019 10:11:12"); };
    x.Options = {xoShowHeader};
    if (!header) x.Options.Remove(xoShowHeader);
    if (numbers) x.Options.Add(xoRowNumbers);
    if (header && !hostileCaptions) expected.insert(expected.begin(), {"NUME", "NR", "OBS"});
    x.SetExportType(type);
    x.ExportStyle = xsFile;
    x.FileName = QuietPlatform::ScratchDir() + "foaie.txt";
    x.ExportData();
    if (x.WrittenFile().empty()) return;  // a character the code page can't hold
    const std::string text = ReadAll(x.WrittenFile());
    std::filesystem::remove(x.WrittenFile());

    std::vector<std::vector<std::string>> got;
    try {
        if (type == xtCSV) {
            got = ParseCsv(text);
            if (numbers)
                for (auto& record : got) {
                    if (record.empty()) std::abort();
                    record.erase(record.begin());
                }
        } else if (type == xtDIF) {
            got = ParseDif(Lines(text));
            if (numbers)
                for (auto& record : got) {
                    if (record.empty()) std::abort();
                    record.erase(record.begin());
                }
        } else {
            got = ParseSylk(Lines(text), numbers);
        }
    } catch (const FormatViolation&) {
        std::abort();
    }
    if (got.size() != expected.size()) std::abort();
    for (size_t r = 0; r < got.size(); ++r) {
        if (got[r].size() != 3) std::abort();
        for (size_t k = 0; k < 3; ++k) {
            // A byte the code page leaves undefined may come back as another; compare what the
            // page makes of the cell.
            std::string want;
            try {
                want = page.Encode(page.Decode(expected[r][k]));
            } catch (const std::exception&) {
                std::abort();
            }
            if (got[r][k] != Expected(want, type == xtCSV)) std::abort();
        }
    }
}

}  // namespace orbelan::fuzz
