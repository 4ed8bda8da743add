#include "cli/row_printer.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <vector>

#include "engine/utf8.h"

namespace orbelan {
namespace {

// Memo texts may hold line breaks; a table row stays on one line.
void Pad(std::ostream& out, std::string text, size_t width) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n' || c == '\t'; }, ' ');
    out << text;
    for (size_t n = utf8::CharCount(text); n < width; ++n) out << ' ';
}

std::vector<size_t> ColumnWidths(Table& t) {
    std::vector<size_t> widths;
    for (int i = 0; i < t.FieldCount(); ++i) {
        const FieldDef& f = t.Field(i);
        // Dates and times are longer as text than as stored.
        size_t natural = f.IsMemo() ? 30 : static_cast<size_t>(f.size);
        if (f.type == 'D') natural = 10;
        if (f.type == 'T' || f.type == '@') natural = 19;
        widths.push_back(std::min<size_t>(std::max(natural, f.name.size()), 40));
    }
    return widths;
}

}  // namespace

std::string JsonString(const std::string& utf8) {
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

void PrintRows(Table& t, const std::string& format, long limit, std::ostream& out,
               bool markDeleted) {
    const int n = t.FieldCount();
    const std::vector<size_t> widths = ColumnWidths(t);
    const char* mark = format == "csv" ? "*," : "* ";
    if (markDeleted && format != "json") out << (format == "csv" ? "," : "  ");
    if (format == "csv") {
        for (int i = 0; i < n; ++i) out << (i ? "," : "") << CsvField(t.Field(i).name);
        out << '\n';
    } else if (format == "table") {
        for (int i = 0; i < n; ++i) {
            if (i) out << ' ';
            Pad(out, t.Field(i).name, widths[size_t(i)]);
        }
        out << '\n';
    }
    for (long row = 0; !t.Eof() && (limit < 0 || row < limit); ++row, t.Next()) {
        if (markDeleted) {
            const bool deleted = t.IsDeletedAt(t.CurrentRow());
            if (format == "json")
                out << "{\"*\": " << (deleted ? "\"*\"" : "\"\"") << (n ? ", " : "");
            else
                out << (deleted ? mark : (format == "csv" ? "," : "  "));
        }
        for (int i = 0; i < n; ++i) {
            const std::string text = t.AsText(i);
            if (format == "json") {
                out << (i             ? ", "
                        : markDeleted ? ""
                                      : "{")
                    << JsonString(t.Field(i).name) << ": " << JsonString(text);
            } else if (format == "csv") {
                out << (i ? "," : "") << CsvField(text);
            } else {
                if (i) out << ' ';
                Pad(out, text, widths[size_t(i)]);
            }
        }
        out << (format == "json" ? (n || markDeleted ? "}\n" : "{}\n") : "\n");
    }
}

}  // namespace orbelan
