#include "cleaning/replace_table.h"

#include <cstring>

#include "core/workspace.h"
#include "engine/dbf_file.h"
#include "engine/dbf_writer.h"
#include "engine/file_io.h"

namespace orbelan {
namespace {

// The version byte that asks DbfWriter for the old file's family.
uint8_t VersionOf(const DbfLayout& layout) {
    switch (layout.family) {
        case DbfFamily::DBase3:
            return 0x03;
        case DbfFamily::DBase4:
            return 0x04;
        case DbfFamily::DBase7:
            return 0x8C;
        case DbfFamily::FoxPro:
            return 0xF5;
        case DbfFamily::VisualFoxPro:
            return layout.version;
    }
    return 0x03;
}

std::unique_ptr<DbfWriter> NewWriter(const DbfFile& src, const std::string& path,
                                     const NewStructure& structure) {
    if (structure.fields.empty()) return DbfWriter::SameStructureAs(src, path);
    DbfWriter::Definition definition;
    definition.version = VersionOf(src.Layout());
    definition.codePage = src.Page().Name();
    definition.languageDriver = src.Layout().languageDriver;
    for (FieldDef def : structure.fields) {
        // Null and varchar flags point into _NullFlags, which a new structure lays out anew.
        def.offset = 0;
        def.flags = static_cast<uint8_t>(def.flags & ~0x02);
        definition.fields.push_back(def);
    }
    if (!src.Info().memoFile.empty() && FileExists(src.Info().memoFile))
        definition.copyMemoFrom = src.Info().memoFile;
    return std::make_unique<DbfWriter>(path, definition);
}

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

void ReplaceTable(Workspace& ws, const NewStructure& structure, const RowFill& fill) {
    const std::string path = ws.Tx.TableName();
    ws.CloseTable();
    ws.ui.ProcessMessages();
    try {
        DbfOpenOptions options;
        options.defaultCodePage = ws.Tx.DefaultCodePage();
        options.codePageOverride = ws.Tx.CodePageOverride();
        options.checkProductionIndex = false;
        auto src = DbfFile::Open(path, options);
        auto w = NewWriter(*src, path, structure);
        WriteAll(*src, *w, structure, fill, ws.Format());
        src.reset();  // nothing may hold the file that is replaced
        w->Commit();
        DropStaleIndex(path);  // an index of the old rows would only mislead
    } catch (...) {
        try {
            ReopenTable(ws, path);
        } catch (const std::exception&) {
            // The rewrite's failure is the one to report.
        }
        throw;
    }
    ReopenTable(ws, path);
}

}  // namespace orbelan
