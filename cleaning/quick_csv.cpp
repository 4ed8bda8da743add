#include "cleaning/quick_csv.h"

#include <vector>

#include "core/command_guard.h"
#include "core/program_dir.h"
#include "core/workspace.h"
#include "engine/codepage.h"
#include "engine/dbf_file.h"
#include "engine/file_io.h"

namespace orbelan {
namespace {

constexpr int kRowsPerRepaint = 1024;
// A walk that gives the table's pages back gives them back this often.
constexpr int kRowsPerRelease = 1 << 16;

constexpr size_t kWriteChunk = 1 << 20;

// A cell never holds a comma: every comma of the line becomes a full stop, then the commas
// between the cells are put back. A line break in a value would end the record: a blank.
// One pass over the line beats one search per cell.
void NoCommas(std::string& line, const std::vector<size_t>& separators) {
    for (char& c : line)  // branch-free, so the compiler vectorizes it
        c = c == ',' ? '.' : c == '\r' || c == '\n' ? ' ' : c;
    for (size_t at : separators) line[at] = ',';
}

// A line that can't be encoded is taken apart to name the cell that holds the character.
[[noreturn]] void ThrowUnencodable(const CodePage& page, const std::vector<std::string>& cells,
                                   const std::vector<std::string>& names, const std::string& where,
                                   const DbfError& e) {
    for (size_t i = 0; i < cells.size(); ++i) {
        try {
            page.Encode(cells[i]);
        } catch (const DbfError& cell) {
            throw DbfError(ErrorKind::Conversion, "Fisierul CSV nu poate fi scris: " + where +
                                                      ", campul " + names[i] + ": " + cell.what());
        }
    }
    throw DbfError(ErrorKind::Conversion,
                   "Fisierul CSV nu poate fi scris: " + where + ": " + e.what());
}

}  // namespace

int WriteQuickCsv(Workspace& ws, const std::string& path, bool utf8) {
    Table& table = ws.table;
    ws.PostPendingEdit();
    CommandGuard guard(ws, {.bar = 0, .disableWindow = true, .freezeGrid = false});
    const DbfFile& file = table.Data();
    const CodePage& page = *CodePage::Get(utf8 ? std::string("utf-8") : ws.ProgramCodePage());
    const FormatSettings& format = table.Format();
    const int fieldCount = file.FieldCount();
    std::vector<std::string> names;
    for (const FieldDef& f : file.Fields()) names.push_back(f.name);

    // The rows are found as the walk reaches them: counting them first would read the whole file
    // twice, and a run that gives pages back would fault every one of them in again. The bar
    // goes up to the file's records (deleted and filtered ones are skipped, so it may stop
    // short); a filter has to be counted anyway.
    const int records =
        table.Filtered() ? table.RecordCount() : static_cast<int>(file.RecordCount());
    const bool release = table.ReleasingPagesWhileScanning();
    ws.progress.ProgressShow(records);
    ws.progress.ProcessMessages();

    TempFile out(path);
    std::string line;                  // UTF-8 text of one line
    std::string bytes;                 // encoded lines waiting to be written
    if (utf8) bytes = "\xEF\xBB\xBF";  // so that a spreadsheet program reads it as UTF-8
    // row: from 1, 0 for the header.
    const auto endLine = [&](int row, const auto& cellsOf) {
        const size_t before = bytes.size();
        try {
            page.AppendEncoded(line, bytes);
        } catch (const DbfError& e) {
            bytes.resize(before);
            ThrowUnencodable(page, cellsOf(), names,
                             row == 0 ? "antetul" : "linia " + std::to_string(row), e);
        }
        bytes += "\r\n";
        if (bytes.size() >= kWriteChunk) {
            out.Write(bytes.data(), bytes.size());
            bytes.clear();
        }
    };

    std::vector<size_t> separators;
    for (int f = 0; f < fieldCount; ++f) {
        if (f > 0) {
            separators.push_back(line.size());
            line += ',';
        }
        line += names[static_cast<size_t>(f)];
    }
    NoCommas(line, separators);
    endLine(0, [&] { return names; });

    int row = 0;
    for (;; ++row) {
        const uint8_t* rec = table.RecordAt(row);
        if (rec == nullptr) break;
        line.clear();
        separators.clear();
        for (int f = 0; f < fieldCount; ++f) {
            if (f > 0) {
                separators.push_back(line.size());
                line += ',';
            }
            file.AppendText(line, rec, f, format);
        }
        NoCommas(line, separators);
        endLine(row + 1, [&] {
            std::vector<std::string> cells;
            for (int f = 0; f < fieldCount; ++f) cells.push_back(file.Text(rec, f, format));
            return cells;
        });
        if ((row + 1) % kRowsPerRepaint == 0) {
            ws.progress.ProgressSet(row + 1);
            ws.progress.ProcessMessages();
        }
        if (release && (row + 1) % kRowsPerRelease == 0) table.ReleaseReadPages();
    }
    out.Write(bytes.data(), bytes.size());
    out.Finish();
    out.RenameOverTarget();
    return row;
}

void ShowQuickCsv(Workspace& ws, bool utf8) {
    if (!ws.table.Active()) return;
    const std::string target = TempTableName(ws, ".CSV");
    if (target.empty())
        throw DbfError(ErrorKind::Io, "Nu pot scrie fisierul CSV: in " + ws.ProgramDir +
                                          " nu mai este liber niciun nume DBF0.CSV ... "
                                          "DBF200.CSV.");
    WriteQuickCsv(ws, target, utf8);
    ws.platform.ShellOpen(target);  // OpenResult: whether a program opens it is the shell's matter
}

}  // namespace orbelan
