#include "importing/import_source.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "engine/errors.h"

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

int DayFromSerial(double serial, bool date1904, int64_t* ms) {
    double whole = std::floor(serial);
    if (ms != nullptr) *ms = std::llround((serial - whole) * 86400000.0);
    if (ms != nullptr && *ms >= 86400000) {
        whole += 1;
        *ms = 0;
    }
    if (date1904) return static_cast<int>(whole) + 1462;
    // The 1900 system counts a 29 February 1900 that never was: serials before it are one day
    // behind the day numbers.
    return whole < 61 ? static_cast<int>(whole) + 1 : static_cast<int>(whole);
}

int ChooseSheet(const std::vector<std::string>& names, const std::string& wanted,
                const std::string& path) {
    if (wanted.empty()) return 0;
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == wanted) return static_cast<int>(i);
    int number = 0;
    const auto r = std::from_chars(wanted.data(), wanted.data() + wanted.size(), number);
    if (r.ec == std::errc() && r.ptr == wanted.data() + wanted.size() && number >= 1 &&
        number <= static_cast<int>(names.size()))
        return number - 1;
    std::string list;
    for (const std::string& s : names) list += (list.empty() ? "" : ", ") + s;
    throw DbfError(ErrorKind::CannotOpen,
                   "Registrul " + path + " nu are foaia " + wanted + " (foile: " + list + ").");
}

std::string SheetColumnName(int column) {
    std::string s;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        s.insert(s.begin(), static_cast<char>('A' + (c - 1) % 26));
    return s;
}

std::string PlainNumberText(double value) {
    if (value == 0) return "0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    std::string s = buf;
    if (s.find_first_of("eE") == std::string::npos) return s;
    // 15 significant digits written out without an exponent.
    const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(value))));
    const int decimals = std::max(0, 14 - exponent);
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    s = buf;
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    return s;
}

}  // namespace orbelan
