// The targets over the import readers: the CSV reader with the proposed fields, the .xlsx sheet.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/errors.h"
#include "engine/field_list.h"
#include "fuzz/targets.h"
#include "importing/field_proposal.h"
#include "importing/import_table.h"

#ifdef ORBELAN_HAVE_WORKBOOK_IMPORT
#include "importing/xlsx_sheet.h"
#endif

namespace orbelan::fuzz {

void CsvInput(const uint8_t* data, size_t size) {
    if (size == 0) return;
    const uint8_t mode = data[0];
    static constexpr char kDelimiters[] = {0, ',', ';', '\t'};
    static const char* const kEncodings[] = {"", "utf-8", "cp1250", "cp852"};
    SourceOptions options;
    options.delimiter = kDelimiters[mode & 3];
    options.encoding = kEncodings[(mode >> 2) & 3];
    const InputFile file("fuzz.csv", data + 1, size - 1);
    if (file.Path().empty()) return;
    try {
        auto source = OpenCsvSource(file.Path(), options);
        ImportPreview preview = PreviewSource(*source, 10);
        // Visual FoxPro takes every proposal: 255 fields of any proposed width fit its row.
        const NewTableFormat format{DbfFamily::VisualFoxPro, "cp1250"};
        FitProposalToFamily(preview.columns, format.family);
        std::vector<FieldDef> fields;
        for (const ColumnField& c : preview.columns) fields.push_back(c.field);
        if (CheckFieldList(fields, format.family)) std::abort();
        const ImportOutcome o = ImportToNewTable(*source, preview.columns, {}, format, {}, true);
        if (o.rows != preview.rows) std::abort();
        // Each value fits the field proposed from it, but for characters cp1250 lacks.
        for (const Misfit& m : o.misfits.listed)
            if (m.reason.find("codul de pagina") == std::string::npos &&
                m.reason.find("UTF-8") == std::string::npos)
                std::abort();
    } catch (const DbfError&) {
        // a source that can't be read, named
    }
}

void XlsxSheetInput(const uint8_t* data, size_t size) {
#ifdef ORBELAN_HAVE_WORKBOOK_IMPORT
    if (size == 0) return;
    SheetContext context;
    context.sheetName = "Foaie1";
    context.strings = {"Nume", "", "a_x0009_b", "12"};
    context.dateStyles = {false, true, false, true};
    context.date1904 = (data[0] & 1) != 0;
    // The rest of the first byte: how the XML is cut into feeds, as inflating cuts it anywhere.
    const size_t chunk = 1 + (data[0] >> 1) * 7u;
    const char* p = reinterpret_cast<const char*>(data + 1);
    size_t left = size - 1;
    SheetXmlReader reader(context);
    std::vector<Cell> row;
    int number = 0;
    std::string error;
    try {
        for (;;) {
            const size_t n = std::min(chunk, left);
            const bool ok = reader.Feed(p, n, n == left, error);
            p += n;
            left -= n;
            while (reader.Pop(row, number)) {
                // A row handed out has a value in its last cell, fits a table and its sheet.
                if (row.empty() || row.size() > static_cast<size_t>(kMaxSourceColumns) ||
                    row.back().kind == CellKind::Empty || number < 1 || number > kSheetRows)
                    std::abort();
                for (const Cell& c : row) CellText(c);
            }
            if (!ok || left == 0) break;
        }
    } catch (const DbfError&) {
        // refused with the place named: what a damaged sheet gets
    }
#else
    (void)data;
    (void)size;
#endif
}

}  // namespace orbelan::fuzz
