#include "importing/import_source.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "engine/date_util.h"
#include "engine/errors.h"
#include "importing/sheet_choice.h"

namespace orbelan {

bool SourceKindOf(const std::string& path, SourceKind& kind) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    std::string ext;
    for (char ch : path.substr(dot + 1))
        ext += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (ext == "csv" || ext == "txt") {
        kind = SourceKind::Csv;
    } else if (ext == "xlsx") {
        kind = SourceKind::Xlsx;
    } else if (ext == "xls") {
        kind = SourceKind::Xls;
    } else {
        return false;
    }
    return true;
}

bool WorkbooksSupported() {
#ifdef ORBELAN_HAVE_WORKBOOK_IMPORT
    return true;
#else
    return false;
#endif
}

std::string SupportedSourcesText() {
    return WorkbooksSupported() ? "CSV (.csv, .txt), .xlsx, .xls" : "CSV (.csv, .txt)";
}

std::unique_ptr<ImportSource> OpenImportSource(const std::string& path,
                                               const SourceOptions& options) {
    SourceKind kind = SourceKind::Csv;
    if (!SourceKindOf(path, kind))
        throw DbfError(ErrorKind::CannotOpen, "Fisierul " + path +
                                                  " nu este CSV sau foaie de calcul (" +
                                                  SupportedSourcesText() + ").");
    if (kind == SourceKind::Csv) return OpenCsvSource(path, options);
#ifdef ORBELAN_HAVE_WORKBOOK_IMPORT
    if (kind == SourceKind::Xlsx) return OpenXlsxSource(path, options);
    return OpenXlsSource(path, options);
#else
    throw DbfError(ErrorKind::CannotOpen,
                   "Aceasta versiune a programului importa doar fisiere CSV; salvati foaia " +
                       path + " ca CSV.");
#endif
}

bool DayFromSerial(double serial, bool date1904, int& day, int64_t* ms) {
    if (!std::isfinite(serial)) return false;
    double whole = std::floor(serial);
    int64_t into = std::llround((serial - whole) * 86400000.0);
    if (into >= 86400000) {
        whole += 1;
        into = 0;
    }
    // The 1900 system counts a 29 February 1900 that never was: serials before it are one day
    // behind the day numbers.
    const double number = date1904 ? whole + 1462 : whole < 61 ? whole + 1 : whole;
    if (number < DayNumber(1, 1, 1) || number > DayNumber(9999, 12, 31)) return false;
    day = static_cast<int>(number);
    if (ms != nullptr) *ms = into;
    return true;
}

int ChooseSheet(const std::vector<std::string>& names, const std::string& wanted,
                const std::string& path) {
    if (const int sheet = FindSheet(names, wanted); sheet >= 0) return sheet;
    std::string list;
    for (const std::string& s : names) list += (list.empty() ? "" : ", ") + s;
    throw DbfError(ErrorKind::CannotOpen,
                   "Registrul " + path + " nu are foaia " + wanted + " (foile: " + list + ").");
}

std::string PlainNumberText(double value) {
    if (value == 0) return "0";
    char buf[40];
    if (!std::isfinite(value)) {
        std::snprintf(buf, sizeof buf, "%g", value);
        return buf;
    }
    // 15 significant digits, rounded by printf, then written out without an exponent however
    // far the point goes (1E+100 is a 1 and a hundred zeros).
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
    const std::string_view e(buf);
    const size_t mark = e.find('e');
    std::string digits = std::string(1, e[0]) + std::string(e.substr(2, mark - 2));
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    int exponent = 0;
    std::from_chars(e.data() + mark + (e[mark + 1] == '+' ? 2 : 1), e.data() + e.size(), exponent);
    const long point = exponent + 1L;  // digits before the decimal point
    std::string s = value < 0 ? "-" : "";
    if (point <= 0)
        s += "0." + std::string(static_cast<size_t>(-point), '0') + digits;
    else if (point >= static_cast<long>(digits.size()))
        s += digits + std::string(static_cast<size_t>(point) - digits.size(), '0');
    else
        s += digits.substr(0, static_cast<size_t>(point)) + "." +
             digits.substr(static_cast<size_t>(point));
    return s;
}

}  // namespace orbelan
