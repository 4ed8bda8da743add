#pragma once
// Small .xlsx workbooks written for the tests (one sheet, its XML given as it goes inside
// <sheetData>), and the rows a workbook source reads.
#include <string>
#include <vector>

namespace orbelan {
class ImportSource;
}

namespace orbelan::test {

// Whether this build can write them (it needs minizip).
bool CanWriteWorkbooks();

struct WorkbookParts {
    std::string sheetData;      // <row> elements
    std::string sharedStrings;  // <si> elements; none when empty
    std::string cellFormats;    // <xf> elements of cellXfs; none when empty
};
void WriteXlsx(const std::string& path, const WorkbookParts& parts);

// Every row a source reads: its number, then its cells as text joined by '|'.
std::vector<std::string> SourceRows(ImportSource& source);

}  // namespace orbelan::test
