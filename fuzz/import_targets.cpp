// The targets over the import readers.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/errors.h"
#include "fuzz/targets.h"
#include "importing/field_proposal.h"

#ifdef ORBELAN_HAVE_WORKBOOK_IMPORT
#include "importing/xlsx_sheet.h"
#endif

namespace orbelan::fuzz {

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
