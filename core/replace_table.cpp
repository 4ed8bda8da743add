#include "core/replace_table.h"

#include <cstring>

#include "core/open_table.h"
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

NewStructure KeptStructure(const Table& table) {
    NewStructure structure;
    for (int i = 0; i < table.FieldCount(); ++i) {
        structure.fields.push_back(table.Field(i));
        structure.sources.push_back(i);
    }
    return structure;
}

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

void ReplaceAndReopen(Workspace& ws, const std::function<void(const std::string& path)>& change) {
    const std::string path = ws.Tx.TableName();
    ws.CloseTable();
    ws.progress.ProcessMessages();
    const auto reopen = [&] {
        ws.CurrentFile = path;
        ws.Tx.SetTableName(path);
        ws.Tx.Open();
        ws.progress.ProcessMessages();
    };
    try {
        change(path);
    } catch (...) {
        try {
            reopen();
        } catch (const std::exception&) {
            // The change's failure is the one to report.
        }
        throw;
    }
    reopen();
}

void ReplaceTable(Workspace& ws, const NewStructure& structure, const RowFill& fill) {
    ReplaceAndReopen(ws, [&](const std::string& path) {
        const DbfOpenOptions options = RewriteOptionsOf(ws.Tx);
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
