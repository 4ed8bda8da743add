#include "core/replace_table.h"

#include <cstring>

#include "core/open_table.h"
#include "core/restore_points.h"
#include "core/workspace.h"
#include "engine/dbf_file.h"
#include "engine/dbf_writer.h"
#include "engine/file_io.h"
#include "engine/rewrite.h"

namespace orbelan {
namespace {

void WriteAll(const DbfFile& src, DbfWriter& w, const NewStructure& structure, const RowFill& fill,
              const FormatSettings& format) {
    const bool same = structure.fields.empty();
    if (!same) {
        std::vector<DbfWriter::FieldCopy> kept;
        for (size_t i = 0; i < structure.sources.size(); ++i)
            if (structure.sources[i] >= 0)
                kept.push_back({structure.sources[i], static_cast<int>(i)});
        w.PlanCopy(src, kept, format, {});
    }
    for (uint32_t r = 0; r < src.RecordCount(); ++r) {
        const uint8_t* rec = src.Record(r);
        w.BeginRow();
        if (same) {
            std::memcpy(w.Row(), rec, src.RecordLength());
        } else {
            w.Row()[0] = rec[0];
            w.CopyPlanned(rec);
        }
        if (fill) fill(src, r, w);
        w.EndRow();
    }
}

}  // namespace

NewStructure KeptStructure(const Table& table, int without) {
    NewStructure structure;
    for (int i = 0; i < table.FieldCount(); ++i)
        if (i != without) structure.Add(table.Field(i), i);
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
    ReopenAround(
        ws, [&](const std::string& path) { WithRestorePoint(ws, path, [&] { change(path); }); });
}

void ReopenAround(Workspace& ws, const std::function<void(const std::string& path)>& change) {
    const std::string path = ws.table.TableName();
    ws.CloseTable();
    ws.progress.ProcessMessages();
    const auto reopen = [&] {
        ws.history.TableRewritten(path);
        ws.CurrentFile = path;
        ws.table.SetTableName(path);
        ws.table.Open();
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
        const DbfOpenOptions options = FileOptionsOf(ws.table);
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
