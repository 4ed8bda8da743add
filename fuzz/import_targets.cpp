// The target over the CSV reader and the proposed fields (importing/).
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/errors.h"
#include "engine/field_list.h"
#include "fuzz/targets.h"
#include "importing/import_table.h"

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
            if (m.why.find("codul de pagina") == std::string::npos &&
                m.why.find("UTF-8") == std::string::npos)
                std::abort();
    } catch (const DbfError&) {
        // a source that can't be read, named
    }
}

}  // namespace orbelan::fuzz
