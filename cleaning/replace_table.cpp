#include "cleaning/replace_table.h"

#include <cstring>

#include "core/workspace.h"
#include "engine/dbf_file.h"
#include "engine/dbf_writer.h"
#include "engine/file_io.h"
#include "engine/rewrite.h"

namespace orbelan {
namespace {

void WriteAll(const DbfFile& src, DbfWriter& w, const NewStructure& structure, const RowFill& fill,
              const FormatSettings& format) {
    // Kept values are copied byte for byte (memo pointers stay valid: the new memo file starts
    // as a copy of the old); one whose meaning lives partly in _NullFlags goes through its text.
    struct Copy {
        int from, to, size, fromField, toField;
        bool viaText;
    };
    std::vector<Copy> copies;
    for (size_t i = 0; i < structure.sources.size(); ++i) {
        const int s = structure.sources[i];
        if (s < 0) continue;
        const FieldLayout& from = src.FieldAt(s);
        copies.push_back({from.def.offset, w.Fields()[i].offset, from.def.size, s,
                          static_cast<int>(i), from.nullBit >= 0 || from.varLengthBit >= 0});
    }
    const bool same = structure.fields.empty();
    for (uint32_t r = 0; r < src.RecordCount(); ++r) {
        const uint8_t* rec = src.Record(r);
        w.BeginRow();
        uint8_t* row = w.Row();
        if (same) {
            std::memcpy(row, rec, src.RecordLength());
        } else {
            row[0] = rec[0];
            for (const Copy& c : copies) {
                if (c.viaText)
                    w.SetText(c.toField, src.Text(rec, c.fromField, format), format);
                else
                    std::memcpy(row + c.to, rec + c.from, static_cast<size_t>(c.size));
            }
        }
        if (fill) fill(src, r, w);
        w.EndRow();
    }
}

}  // namespace

std::vector<bool> DisplayedRecords(Table& table, int* count) {
    std::vector<bool> shown(table.Header().recordCount, false);
    int n = 0;
    for (table.First(); !table.Eof(); table.Next()) {
        const int64_t record = table.PhysicalRecNo();
        if (record >= 0 && static_cast<size_t>(record) < shown.size()) {
            shown[static_cast<size_t>(record)] = true;
            ++n;
        }
    }
    if (count) *count = n;
    return shown;
}

void ReopenTable(Workspace& ws, const std::string& path) {
    ws.CurrentFile = path;
    ws.Tx.SetTableName(path);
    ws.Tx.Open();
    ws.ui.ProcessMessages();
}

void ChangeThenReopen(Workspace& ws, const std::string& path, const std::function<void()>& change) {
    try {
        change();
    } catch (...) {
        try {
            ReopenTable(ws, path);
        } catch (const std::exception&) {
            // The change's failure is the one to report.
        }
        throw;
    }
    ReopenTable(ws, path);
}

void ReplaceTable(Workspace& ws, const NewStructure& structure, const RowFill& fill) {
    const std::string path = ws.Tx.TableName();
    ws.CloseTable();
    ws.ui.ProcessMessages();
    ChangeThenReopen(ws, path, [&] {
        DbfOpenOptions options;
        options.defaultCodePage = ws.Tx.DefaultCodePage();
        options.codePageOverride = ws.Tx.CodePageOverride();
        options.checkProductionIndex = false;
        auto src = DbfFile::Open(path, options);
        RewritePlan plan;
        if (!structure.fields.empty()) {
            plan.structure = StructureOf(*src);
            plan.structure->fields = structure.fields;
            for (FieldDef& def : plan.structure->fields) def.offset = 0;
        }
        plan.fill = [&](const DbfFile& source, DbfWriter& w) {
            WriteAll(source, w, structure, fill, ws.Format());
        };
        RewriteFile(*src, plan, options);
    });
}

}  // namespace orbelan
