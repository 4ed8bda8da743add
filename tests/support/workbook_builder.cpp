#include "support/workbook_builder.h"

#include "importing/field_proposal.h"
#include "importing/import_source.h"

#include <stdexcept>

#ifdef ORBELAN_TEST_HAVE_MINIZIP
#include <minizip/zip.h>
#endif

namespace orbelan::test {

#ifdef ORBELAN_TEST_HAVE_MINIZIP
bool CanWriteWorkbooks() {
    return true;
}

void WriteXlsx(const std::string& path, const WorkbookParts& parts) {
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (zip == nullptr) throw std::runtime_error("cannot create " + path);
    const auto add = [&](const char* name, const std::string& text) {
        zip_fileinfo info{};
        if (zipOpenNewFileInZip64(zip, name, &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 1,
                                  1) != ZIP_OK ||
            zipWriteInFileInZip(zip, text.data(), static_cast<unsigned>(text.size())) != ZIP_OK ||
            zipCloseFileInZip(zip) != ZIP_OK)
            throw std::runtime_error(std::string("cannot write ") + name);
    };
    const std::string ns = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"";
    add("xl/workbook.xml",
        "<workbook " + ns +
            " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
            "<sheets><sheet name=\"Foaie1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>");
    add("xl/_rels/workbook.xml.rels",
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Target=\"worksheets/sheet1.xml\"/></Relationships>");
    add("xl/worksheets/sheet1.xml",
        "<worksheet " + ns + "><sheetData>" + parts.sheetData + "</sheetData></worksheet>");
    if (!parts.sharedStrings.empty())
        add("xl/sharedStrings.xml", "<sst " + ns + ">" + parts.sharedStrings + "</sst>");
    if (!parts.cellFormats.empty())
        add("xl/styles.xml",
            "<styleSheet " + ns + "><cellXfs>" + parts.cellFormats + "</cellXfs></styleSheet>");
    if (zipClose(zip, nullptr) != ZIP_OK) throw std::runtime_error("cannot close " + path);
}
#else
bool CanWriteWorkbooks() {
    return false;
}

void WriteXlsx(const std::string& path, const WorkbookParts&) {
    throw std::runtime_error("no minizip to write " + path);
}
#endif

std::vector<std::string> SourceRows(ImportSource& source) {
    std::vector<std::string> out;
    std::vector<Cell> row;
    while (source.Next(row)) {
        std::string line = std::to_string(source.RowNumber()) + ":";
        for (size_t i = 0; i < row.size(); ++i) line += (i ? "|" : "") + CellText(row[i]);
        out.push_back(line);
    }
    return out;
}

}  // namespace orbelan::test
