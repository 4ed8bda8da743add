#include "cli/compare_cli.h"

#include <algorithm>
#include <cctype>
#include <ostream>

#include "cli/cli_app.h"
#include "cli/codepage_cli.h"
#include "cli/row_printer.h"
#include "core/text_util.h"
#include "engine/errors.h"
#include "engine/utf8.h"
#include "export/export_command.h"

namespace orbelan {
namespace {

using Rows = std::vector<std::vector<std::string>>;

void PrintTable(std::ostream& out, const std::string& format, const std::vector<std::string>& head,
                const Rows& rows) {
    if (format == "json") {
        for (const auto& row : rows) {
            out << '{';
            for (size_t i = 0; i < head.size(); ++i)
                out << (i ? ", " : "") << JsonString(head[i]) << ": " << JsonString(row[i]);
            out << "}\n";
        }
        return;
    }
    if (format == "csv") {
        for (const auto* line : {&head}) {
            for (size_t i = 0; i < line->size(); ++i) out << (i ? "," : "") << CsvField((*line)[i]);
            out << '\n';
        }
        for (const auto& row : rows) {
            for (size_t i = 0; i < row.size(); ++i) out << (i ? "," : "") << CsvField(row[i]);
            out << '\n';
        }
        return;
    }
    std::vector<size_t> widths;
    for (const std::string& h : head) widths.push_back(utf8::CharCount(h));
    for (const auto& row : rows)
        for (size_t i = 0; i < row.size(); ++i)
            widths[i] = std::min<size_t>(40, std::max(widths[i], utf8::CharCount(row[i])));
    const auto line = [&](const std::vector<std::string>& cells) {
        for (size_t i = 0; i < cells.size(); ++i) {
            std::string text = cells[i];
            std::replace_if(
                text.begin(), text.end(),
                [](char ch) { return ch == '\r' || ch == '\n' || ch == '\t'; }, ' ');
            if (i) out << ' ';
            out << text;
            if (i + 1 < cells.size())
                for (size_t n = utf8::CharCount(text); n < widths[i]; ++n) out << ' ';
        }
        out << '\n';
    };
    line(head);
    for (const auto& row : rows) line(row);
}

// The rows of one side: their number, then every column.
void PrintSideRows(CliContext& c, const CompareSource& side, const std::vector<uint32_t>& rows) {
    std::vector<std::string> head{"LINIE"};
    head.insert(head.end(), side.Names().begin(), side.Names().end());
    Rows out;
    out.reserve(rows.size());
    for (const uint32_t r : rows) {
        std::vector<std::string> cells{std::to_string(side.RowNumber(r))};
        for (int i = 0; i < side.ColumnCount(); ++i) cells.push_back(side.Text(r, i));
        out.push_back(std::move(cells));
    }
    PrintTable(c.out, c.options.outputFormat, head, out);
}

// One line per differing value: the rows, the key, the column, this value beside the other's.
void PrintDiffer(CliContext& c, const CompareSource& here, const CompareSource& there,
                 const CompareSpec& request, const CompareResult& r) {
    std::vector<std::string> head{"LINIE", "LINIE_ALT"};
    for (const KeyColumn& k : request.key)
        head.push_back(here.Names()[static_cast<size_t>(k.here)]);
    head.insert(head.end(), {"COLOANA", "VALOARE", "VALOARE_ALT"});
    Rows out;
    for (size_t i = 0; i < r.differ.size(); ++i) {
        const RowPair& p = r.differ[i];
        for (const uint16_t col : r.Differing(i)) {
            const SharedColumn& s = r.shared[col];
            std::vector<std::string> cells{std::to_string(here.RowNumber(p.here)),
                                           std::to_string(there.RowNumber(p.there))};
            for (const KeyColumn& k : request.key) cells.push_back(here.Text(p.here, k.here));
            cells.push_back(here.Names()[static_cast<size_t>(s.here)]);
            cells.push_back(here.Text(p.here, s.here));
            cells.push_back(there.Text(p.there, s.there));
            out.push_back(std::move(cells));
        }
    }
    PrintTable(c.out, c.options.outputFormat, head, out);
}

std::string SomeRows(const CompareSource& side, const std::vector<uint32_t>& rows) {
    constexpr size_t kShown = 10;
    std::string s;
    for (size_t i = 0; i < rows.size() && i < kShown; ++i)
        s += (i                  ? ", "
              : rows.size() == 1 ? " (linia "
                                 : " (liniile ") +
             std::to_string(side.RowNumber(rows[i]));
    if (rows.size() > kShown) s += ", ...";
    return s.empty() ? s : s + ")";
}

void PrintSummary(CliContext& c, const CompareSource& here, const CompareSource& there,
                  const CompareResult& r) {
    struct Count {
        const char* id;
        std::string label;
        size_t n;
    };
    const std::vector<Count> counts = {
        {"only-here", "Doar in " + here.Path(), r.onlyHere.size()},
        {"only-there", "Doar in " + there.Path(), r.onlyThere.size()},
        {"same", "In ambele, la fel", r.same.size()},
        {"differ", "In ambele, diferite", r.differ.size()},
        {"repeated-here", "Chei repetate in " + here.Path(), r.repeatedHere.size()},
        {"repeated-there", "Chei repetate in " + there.Path(), r.repeatedThere.size()},
        {"empty-here", "Cheie goala in " + here.Path(), r.emptyHere.size()},
        {"empty-there", "Cheie goala in " + there.Path(), r.emptyThere.size()},
    };
    const std::string& format = c.options.outputFormat;
    if (format == "json") {
        c.out << '{';
        for (size_t i = 0; i < counts.size(); ++i)
            c.out << (i ? ", " : "") << JsonString(counts[i].id) << ": " << counts[i].n;
        c.out << "}\n";
        return;
    }
    if (format == "csv") {
        c.out << "grup,linii\n";
        for (const Count& k : counts) c.out << k.id << ',' << k.n << '\n';
        return;
    }
    for (size_t i = 0; i < counts.size(); ++i) {
        if (i >= 4 && counts[i].n == 0) continue;
        c.out << counts[i].label << ": " << GroupedThousands(static_cast<long long>(counts[i].n));
        if (i == 4) c.out << SomeRows(here, r.repeatedHere);
        if (i == 5) c.out << SomeRows(there, r.repeatedThere);
        if (i == 6) c.out << SomeRows(here, r.emptyHere);
        if (i == 7) c.out << SomeRows(there, r.emptyThere);
        c.out << '\n';
    }
    std::string names;
    for (const SharedColumn& s : r.shared)
        names += (names.empty() ? "" : ", ") + here.Names()[static_cast<size_t>(s.here)];
    c.out << "Coloane comparate: " << (names.empty() ? "niciuna in afara cheii" : names) << '\n';
}

std::string Extension(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && slash > dot)) return {};
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return ext;
}

// -o OUT: the group's rows as a new table (.dbf) or through the export engine.
void WriteGroup(CliContext& c, const CompareSource& side, const std::vector<uint32_t>& rows,
                const std::string& page) {
    const std::string& out = c.options.output;
    const std::string ext = Extension(out);
    long lost = 0;
    if (ext == "dbf") {
        lost = side.WriteRows(rows, out, page);
    } else {
        TovExportType type = xtExcel;
        if (!ExportTypeFromName(ext, type) || ext == "pdf")
            throw UsageError(
                "Fisierul -o se termina in .dbf .csv .xlsx .xls .html .doc .txt .tab "
                ".rtf .dif sau .slk.");
        ExportWindows none;
        TovDBGridExport exp(c.messages, none, c.ws.platform);
        exp.Utf8Text = Utf8Encoding(c.options);
        ExportMadeTable(c.ws, exp, type, out, "Comparare",
                        [&](const std::string& path) { lost = side.WriteRows(rows, path, page); });
    }
    c.out << "Scrise " << GroupedThousands(static_cast<long long>(rows.size())) << " linii in "
          << out << ".\n";
    if (lost > 0)
        c.out << GroupedThousands(lost)
              << " valori nu au incaput in tabelul nou si au ramas goale.\n";
}

std::vector<uint32_t> HereRows(const std::vector<RowPair>& pairs) {
    std::vector<uint32_t> rows;
    rows.reserve(pairs.size());
    for (const RowPair& p : pairs) rows.push_back(p.here);
    return rows;
}

}  // namespace

std::unique_ptr<CompareSource> OpenSourceArg(CliContext& c, const std::string& path) {
    DbfOpenOptions options;
    options.codePageOverride = c.options.codePage;
    SourceOptions sheet;
    sheet.sheet = c.options.sheet;
    sheet.delimiter = c.options.delimiter;
    sheet.encoding = c.options.encoding;
    try {
        return OpenCompareSource(path, options, c.ws.Format(), sheet);
    } catch (const DbfError& e) {
        if (e.Kind() == ErrorKind::CannotOpen || e.Kind() == ErrorKind::Malformed ||
            e.Kind() == ErrorKind::MissingIndex)
            throw Unreadable{"Fisierul ales, " + path + ", nu poate fi citit!\n" + e.what()};
        throw;
    }
}

CompareSpec KeyArgs(CliContext& c, const CompareSource& here, const CompareSource& there) {
    if (c.options.key.empty()) throw UsageError("Lipseste --key COLOANA[=COLOANA_ALT],...");
    CompareSpec request;
    request.key = ParseKeySpec(c.options.key, here, there);
    request.text.ignoreCase = c.options.ignoreCase;
    request.text.ignoreDiacritics = c.options.ignoreDiacritics;
    request.text.trim = c.options.trim;
    return request;
}

int CompareCommand(CliContext& c) {
    ExpectArgs(c.options, 2);
    const std::string& path = Arg(c.options, 0, "fisierul");
    const std::string& other = Arg(c.options, 1, "celalalt tabel");
    const std::string& show = c.options.show;
    if (!show.empty() && show != "only-here" && show != "only-there" && show != "differ" &&
        show != "same")
        throw UsageError("--show ia only-here, only-there, differ sau same.");
    const std::string& format = c.options.outputFormat;
    if (format != "table" && format != "csv" && format != "json")
        throw UsageError("Format necunoscut pentru compare: " + format + " (table, csv sau json).");
    if (!c.options.output.empty() && show.empty())
        throw UsageError("-o scrie un grup: alegeti-l cu --show.");
    const std::unique_ptr<CompareSource> here = OpenSourceArg(c, path);
    const std::unique_ptr<CompareSource> there = OpenSourceArg(c, other);
    const CompareSpec request = KeyArgs(c, *here, *there);
    const CompareResult r = CompareTables(*here, *there, request);
    const std::string page = here->Dbf()    ? here->Dbf()->Page().Name()
                             : there->Dbf() ? there->Dbf()->Page().Name()
                                            : "cp1250";
    const CompareSource& side = show == "only-there" ? *there : *here;
    const std::vector<uint32_t> rows = show == "only-here"    ? r.onlyHere
                                       : show == "only-there" ? r.onlyThere
                                       : show == "same"       ? HereRows(r.same)
                                                              : HereRows(r.differ);
    if (!c.options.output.empty())
        WriteGroup(c, side, rows, page);
    else if (show == "differ")
        PrintDiffer(c, *here, *there, request, r);
    else if (!show.empty())
        PrintSideRows(c, side, rows);
    else
        PrintSummary(c, *here, *there, r);
    return r.Equal() ? kExitDone : kExitFound;
}

}  // namespace orbelan
