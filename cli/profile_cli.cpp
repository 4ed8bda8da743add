#include "cli/profile_cli.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "cleaning/column_profile.h"
#include "cleaning/profile_chart_data.h"
#include "cli/cli_app.h"
#include "cli/codepage_cli.h"
#include "cli/row_printer.h"
#include "core/text_util.h"
#include "engine/table.h"
#include "engine/utf8.h"
#include "export/export_command.h"
#ifdef ORBELAN_HAVE_PDF
#include "print/pdf_export.h"
#include "print/profile_chart.h"
#endif

namespace orbelan {
namespace {

std::string Number(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

ColumnProfile ProfileOf(CliContext& c) {
    ExpectArgs(c.options, 2);
    OpenFile(c, Arg(c.options, 0, "fisierul"));
    const int column = ColumnArg(c, 1);
    ProfileOptions options;
    options.forceCnp = c.options.cnp;
    return ProfileColumn(c.ws.table, column, options);
}

void PrintValues(std::ostream& out, const char* heading, const std::vector<ValueCount>& values) {
    if (values.empty()) return;
    out << heading << ":\n";
    for (const ValueCount& v : values)
        out << "  " << GroupedThousands(v.count) << '\t' << (v.text.empty() ? "(gol)" : v.text)
            << '\n';
}

void PrintText(std::ostream& out, const ColumnProfile& p, const FormatSettings& format) {
    out << "Coloana: " << p.column << '\n';
    for (const auto& [label, text] : ProfileFigures(p, format))
        out << label << ": " << text << '\n';
    PrintValues(out, "Cele mai frecvente valori", p.top);
    if (!p.blanksExamples.empty()) {
        out << "Valori cu spatii la inceput sau la sfarsit:\n";
        for (const std::string& s : p.blanksExamples) out << "  \"" << s << "\"\n";
    }
    if (!p.mixedExamples.empty()) {
        out << "Valori care amesteca formele cu sedila si cu virgula:\n";
        for (const std::string& s : p.mixedExamples) out << "  " << s << '\n';
    }
    if (!p.histogram.empty()) {
        out << "Histograma:\n";
        for (const HistogramBin& b : p.histogram)
            out << "  " << b.label << '\t' << GroupedThousands(b.count) << '\n';
    }
    if (p.cnp) {
        out << "Piramida varstelor (barbati, femei):\n";
        for (int g = 0; g < kAgeGroups; ++g)
            out << "  " << AgeGroupLabel(g) << '\t'
                << GroupedThousands(p.cnp->ageMale[static_cast<size_t>(g)]) << '\t'
                << GroupedThousands(p.cnp->ageFemale[static_cast<size_t>(g)]) << '\n';
        PrintValues(out, "Judete", p.cnp->counties);
    }
}

std::string JsonValues(const std::vector<ValueCount>& values) {
    std::string s = "[";
    for (size_t i = 0; i < values.size(); ++i)
        s += std::string(i ? ", " : "") + "{\"valoare\": " + JsonString(values[i].text) +
             ", \"numar\": " + std::to_string(values[i].count) + "}";
    return s + "]";
}

void PrintJson(std::ostream& out, const ColumnProfile& p) {
    static const char* const kKinds[] = {"text", "numar", "data", "logic"};
    out << "{\"coloana\": " << JsonString(p.column) << ", \"tip\": \""
        << kKinds[static_cast<int>(p.kind)] << "\", \"linii\": " << p.rows
        << ", \"completate\": " << p.filled << ", \"goale\": " << p.empty
        << ", \"distincte\": " << p.distinct
        << ", \"aproximativ\": " << (p.approximate ? "true" : "false")
        << ", \"frecvente\": " << JsonValues(p.top);
    if (p.kind == ProfileKind::Text && p.filled > 0) {
        out << ", \"cea_mai_scurta\": " << JsonString(p.shortest)
            << ", \"lungime_minima\": " << p.shortestLength
            << ", \"cea_mai_lunga\": " << JsonString(p.longest)
            << ", \"lungime_maxima\": " << p.longestLength << ", \"cu_spatii\": " << p.blanksAround
            << ", \"cu_sedila\": " << p.cedillaForms << ", \"cu_virgula\": " << p.commaForms
            << ", \"amestec\": " << p.mixedForms;
    }
    if (p.values > 0) {
        out << ", \"minim\": " << Number(p.minimum) << ", \"maxim\": " << Number(p.maximum)
            << ", \"suma\": " << Number(p.sum) << ", \"media\": " << Number(p.mean)
            << ", \"mediana\": " << Number(p.median) << ", \"histograma\": [";
        for (size_t i = 0; i < p.histogram.size(); ++i)
            out << (i ? ", " : "") << "{\"de_la\": " << Number(p.histogram[i].low)
                << ", \"pana_la\": " << Number(p.histogram[i].high)
                << ", \"numar\": " << p.histogram[i].count << "}";
        out << "]";
    }
    if (p.kind == ProfileKind::Logical)
        out << ", \"adevarat\": " << p.trueCount << ", \"fals\": " << p.falseCount;
    if (p.cnp) {
        const CnpFigures& c = *p.cnp;
        out << ", \"cnp\": {\"corecte\": " << c.Valid() << ", \"incorecte\": " << c.Invalid();
        for (int i = 1; i < kCnpFaultCount; ++i)
            out << ", \"" << CnpFaultName(static_cast<CnpFault>(i))
                << "\": " << c.byFault[static_cast<size_t>(i)];
        out << ", \"barbati\": " << c.male << ", \"femei\": " << c.female << ", \"varste\": [";
        for (int g = 0; g < kAgeGroups; ++g)
            out << (g ? ", " : "") << "{\"grupa\": " << JsonString(AgeGroupLabel(g))
                << ", \"barbati\": " << c.ageMale[static_cast<size_t>(g)]
                << ", \"femei\": " << c.ageFemale[static_cast<size_t>(g)] << "}";
        out << "], \"judete\": " << JsonValues(c.counties) << "}";
    }
    out << "}\n";
}

// "NUME" or "NUME,PRENUME" -> field indexes; a column the table lacks is a usage error.
std::vector<int> ColumnList(CliContext& c, const std::string& list) {
    std::vector<int> fields;
    size_t at = 0;
    while (at <= list.size()) {
        const size_t comma = list.find(',', at);
        const std::string name(
            Trim(list.substr(at, comma == std::string::npos ? std::string::npos : comma - at)));
        const int f = c.ws.table.FieldIndex(name);
        if (f < 0) throw UsageError("Coloana " + name + " nu exista in tabel.");
        fields.push_back(f);
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    if (fields.size() > 2) throw UsageError("Se numara pe cel mult doua coloane.");
    return fields;
}

void PrintAligned(const std::vector<std::string>& heads,
                  const std::vector<std::vector<std::string>>& rows, std::ostream& out) {
    std::vector<size_t> widths;
    for (const std::string& h : heads) widths.push_back(utf8::CharCount(h));
    for (const auto& row : rows)
        for (size_t i = 0; i < row.size(); ++i)
            widths[i] = std::min<size_t>(std::max(widths[i], utf8::CharCount(row[i])), 40);
    const auto line = [&](const std::vector<std::string>& cells) {
        for (size_t i = 0; i < cells.size(); ++i) {
            if (i) out << ' ';
            out << cells[i];
            if (i + 1 < cells.size())
                for (size_t n = utf8::CharCount(cells[i]); n < widths[i]; ++n) out << ' ';
        }
        out << '\n';
    };
    line(heads);
    for (const auto& row : rows) line(row);
}

// -o FILE: the counts through the export engine, in the format the file's ending names.
int ExportCounts(CliContext& c, const GroupCounts& g) {
    const std::string& out = c.options.output;
    const size_t dot = out.find_last_of('.');
    const size_t slash = out.find_last_of("/\\");
    std::string ext = dot == std::string::npos || (slash != std::string::npos && slash > dot)
                          ? std::string()
                          : out.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    TovExportType type = xtExcel;
    if (!ExportTypeFromName(ext, type))
        throw UsageError(
            "Fisierul -o se termina in .html .xls .xlsx .doc .txt .csv .tab .rtf .dif "
            ".slk sau .pdf.");
#ifdef ORBELAN_HAVE_PDF
    if (type == xtPDF) InstallPdfExport();
#endif
    ExportWindows none;
    TovDBGridExport exp(c.messages, none, c.ws.platform);
    exp.Utf8Text = Utf8Encoding(c.options);
    const std::string page = c.ws.table.Header().codePage;
    ExportMadeTable(c.ws, exp, type, out, "Numarare pe valori", [&](const std::string& path) {
        WriteCountsTable(g, path, page.empty() ? "cp1250" : page);
    });
    if (g.approximate)
        c.out << "Peste 1.000.000 de valori distincte: numerele sunt aproximative.\n";
    return kExitDone;
}

}  // namespace

int ProfileCommand(CliContext& c) {
    const std::string& format = c.options.outputFormat;
    if (format != "table" && format != "text" && format != "json")
        throw UsageError("Format necunoscut pentru profile: " + format + " (text sau json).");
    const ColumnProfile p = ProfileOf(c);
    if (format == "json")
        PrintJson(c.out, p);
    else
        PrintText(c.out, p, c.ws.table.Format());
    return kExitDone;
}

int CountCommand(CliContext& c) {
    ExpectArgs(c.options, 2);
    const std::string& format = c.options.outputFormat;
    if (format != "table" && format != "csv" && format != "json")
        throw UsageError("Format necunoscut pentru count: " + format + ".");
    if (!c.options.order.empty() && c.options.order != "count" && c.options.order != "value")
        throw UsageError("--order count sau --order value.");
    OpenFile(c, Arg(c.options, 0, "fisierul"));
    const std::vector<int> fields = ColumnList(c, Arg(c.options, 1, "coloanele"));
    int sum = -1;
    if (!c.options.sumColumn.empty()) {
        sum = c.ws.table.FieldIndex(c.options.sumColumn);
        if (sum < 0) throw UsageError("Coloana " + c.options.sumColumn + " nu exista in tabel.");
    }
    const GroupCounts g =
        CountByValues(c.ws.table, fields, sum,
                      c.options.order == "value" ? CountOrder::ByValue : CountOrder::ByCount);
    if (!c.options.output.empty()) return ExportCounts(c, g);
    const FormatSettings& fmt = c.ws.table.Format();
    const auto sumText = [&](double v) {
        std::string t = Number(v);
        if (format != "json") std::replace(t.begin(), t.end(), '.', fmt.decimalSeparator);
        return t;
    };
    std::vector<std::string> heads = g.columns;
    heads.push_back("NUMAR");
    if (sum >= 0) heads.push_back("SUMA(" + g.sumColumn + ")");
    if (format == "json") {
        for (const GroupCount& r : g.groups) {
            c.out << '{';
            for (size_t i = 0; i < r.keys.size(); ++i)
                c.out << JsonString(g.columns[i]) << ": " << JsonString(r.keys[i]) << ", ";
            c.out << "\"NUMAR\": " << r.count;
            if (sum >= 0) c.out << ", " << JsonString(heads.back()) << ": " << sumText(r.sum);
            c.out << "}\n";
        }
    } else {
        std::vector<std::vector<std::string>> rows;
        for (const GroupCount& r : g.groups) {
            std::vector<std::string> row = r.keys;
            row.push_back(std::to_string(r.count));
            if (sum >= 0) row.push_back(sumText(r.sum));
            rows.push_back(std::move(row));
        }
        if (format == "csv") {
            for (size_t i = 0; i < heads.size(); ++i) c.out << (i ? "," : "") << CsvField(heads[i]);
            c.out << '\n';
            for (const auto& row : rows) {
                for (size_t i = 0; i < row.size(); ++i) c.out << (i ? "," : "") << CsvField(row[i]);
                c.out << '\n';
            }
        } else {
            PrintAligned(heads, rows, c.out);
        }
    }
    if (g.approximate)
        c.out << "Peste 1.000.000 de valori distincte: numerele sunt aproximative.\n";
    return kExitDone;
}

int ChartCommand(CliContext& c) {
#ifdef ORBELAN_HAVE_PDF
    static const std::pair<const char*, ChartKind> kKinds[] = {{"bars", ChartKind::Bars},
                                                               {"histogram", ChartKind::Histogram},
                                                               {"pyramid", ChartKind::Pyramid},
                                                               {"counties", ChartKind::Counties}};
    ChartKind kind = ChartKind::Bars;
    bool known = false;
    for (const auto& [name, k] : kKinds)
        if (c.options.chartKind == name) kind = k, known = true;
    if (!known) throw UsageError("Lipseste --kind bars|histogram|pyramid|counties.");
    if (c.options.output.empty()) throw UsageError("Lipseste -o FISIER.png|.pdf.");
    const ColumnProfile p = ProfileOf(c);
    try {
        SaveChart(ChartOfProfile(p, kind), c.options.output);
    } catch (const std::invalid_argument& e) {
        throw UsageError(e.what());
    }
    return kExitDone;
#else
    (void)c;
    throw std::runtime_error("Graficele nu sunt disponibile in aceasta versiune.");
#endif
}

}  // namespace orbelan
