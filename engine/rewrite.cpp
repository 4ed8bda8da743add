#include "engine/rewrite.h"

#include "engine/codepage_detect.h"
#include "engine/errors.h"
#include "engine/file_io.h"
#include "engine/index/index_set.h"

namespace orbelan {
namespace {

// The files a rewrite of source replaces through scratch names: the table, its .cpg file and its
// memo file, of either kind (the killed rewrite may have been adding the first memo field).
std::vector<std::string> RewrittenFiles(const DbfFile& source) {
    std::vector<std::string> files{source.Path(), source.Info().memoFile,
                                   CpgPathFor(source.Path())};
    DbfLayout layout = source.Layout();
    for (const MemoKind kind : {MemoKind::Dbt3, MemoKind::Fpt}) {
        layout.memo = kind;
        files.push_back(MemoPathFor(source.Path(), layout));
    }
    for (const std::string& index : source.IndexFiles()) files.push_back(index);
    return files;
}

// The question a rewrite asks when the index can't follow it; true: go on without the index.
bool LeaveIndexBehind(const DbfFile& source, const std::string& why) {
    const std::string question =
        why +
        "\nDaca continuati, indexul este scos de pe tabel (ca la \"Sterge Index\") si aplicatia "
        "care foloseste tabelul va trebui sa-si refaca indexul. Continuati?";
    bool leave = false;
    const auto& ask = source.OpenOptions().askAboutIndex;
    if (ask && ask(source.Path(), question, [&] { leave = true; }) && leave) return true;
    throw DbfError(ErrorKind::State, why + "\nTabelul nu a fost schimbat.");
}

}  // namespace

uint8_t VersionOf(const DbfLayout& layout) {
    // The memo variant names its family alone (0x04 is dBase IV and dBase 7, 0x03 dBase III and
    // FoxPro); the writer drops to the plain byte when the table has no memo.
    return NewTableVersion(layout.family, true, layout.version);
}

DbfWriter::Definition StructureOf(const DbfFile& source) {
    DbfWriter::Definition d;
    d.version = VersionOf(source.Layout());
    d.codePage = source.Page().Name();
    d.languageDriver = source.Layout().languageDriver;  // a rewrite keeps what the file said
    d.fields = source.Fields();
    for (FieldDef& f : d.fields) f.offset = 0;
    if (!source.Info().memoFile.empty() && FileExists(source.Info().memoFile))
        d.copyMemoFrom = source.Info().memoFile;
    return d;
}

std::unique_ptr<DbfFile> RewriteFile(const DbfFile& source, const RewritePlan& plan,
                                     const DbfOpenOptions& reopen) {
    const std::string path = source.Path();
    // The rename would replace a file its owner made read only: refuse as an in-place write does.
    if (!source.Writable())
        throw DbfError(ErrorKind::Io, "Fisierul " + path + " poate fi doar citit, nu si scris.");
    // Written without it, every memo of the table would read as empty from then on.
    const std::string& memo = source.Info().memoFile;
    if (!memo.empty() && !FileExists(memo))
        throw DbfError(ErrorKind::Io, "fisierul memo " + memo + " lipseste");
    source.LockForWriting();  // held until source closes, after the new file took its place
    source.CheckIntact();
    // Holding the lock, no other rewrite of this table is in flight: what an earlier one left
    // when it was killed can go.
    RemoveStaleScratch(RewrittenFiles(source));
    // The index follows the new rows, or goes only on the user's word.
    IndexSet* indexes = plan.indexes ? plan.indexes : source.Indexes();
    bool dropIndex = false;
    if (!plan.indexes) {
        if (const std::string obstacle = source.IndexObstacle(); !obstacle.empty())
            dropIndex = LeaveIndexBehind(source, obstacle);
    }
    const std::vector<std::string> oldIndexFiles = source.IndexFiles();
    const std::string oldMemo = source.Info().memoFile;
    std::unique_ptr<DbfWriter> writer = plan.structure
                                            ? std::make_unique<DbfWriter>(path, *plan.structure)
                                            : DbfWriter::SameStructureAs(source, path);
    if (plan.fill) plan.fill(source, *writer);
    const bool memoDropped = !oldMemo.empty() && writer->MemoPath().empty();
    DbfOpenOptions options = reopen;
    options.checkProductionIndex = false;  // the new index is not in place until the rename
    const auto companions = [&](const std::string& scratch) {
        DbfWriter::Companions out;
        if (!indexes || dropIndex) return out;
        DbfOpenOptions read;
        read.checkProductionIndex = false;
        read.codePageOverride = source.Page().Name();
        const auto fresh = DbfFile::Open(scratch, read);
        try {
            out.files = indexes->WriteRebuilt(*fresh);
        } catch (const DbfError& e) {
            if (e.Kind() == ErrorKind::Io) throw;
            // A tag the new structure can't compute (its field dropped or changed).
            dropIndex = LeaveIndexBehind(
                source, "Indexul tabelului nu poate urma schimbarea: " + std::string(e.what()));
            return out;
        }
        for (const IndexFileInfo& f : indexes->Files()) out.productionIndex |= f.production;
        return out;
    };
    std::unique_ptr<DbfFile> fresh;
    writer->Commit(
        [&] {
            if (TakeFault(IoFaults().failReopenAfter))
                throw DbfError(ErrorKind::Io, "Tabelul " + path + " nu a putut fi redeschis.");
            fresh = DbfFile::Open(path, options);
        },
        companions);
    // The user let the old index go: it describes the old rows (the restore point keeps it).
    if (dropIndex) DropStaleIndex(path, oldIndexFiles);
    if (memoDropped) {
        try {
            RemoveFile(oldMemo);
        } catch (const DbfError&) {
            // the table no longer names it; a leftover file is harmless
        }
    }
    return fresh;
}

std::unique_ptr<DbfFile> RewriteWithFields(const DbfFile& source,
                                           const std::vector<FieldDef>& fields,
                                           const FormatSettings& format,
                                           const DbfOpenOptions& reopen) {
    RewritePlan plan;
    plan.structure = StructureOf(source);
    plan.structure->fields = fields;
    for (FieldDef& f : plan.structure->fields) f.offset = 0;
    plan.fill = [&](const DbfFile& old, DbfWriter& w) {
        for (uint32_t r = 0; r < old.RecordCount(); ++r) {
            const uint8_t* rec = old.Record(r);
            w.BeginRow();
            w.Row()[0] = rec[0];
            w.CopyFields(old, rec, format);
            w.EndRow();
        }
    };
    return RewriteFile(source, plan, reopen);
}

void RewriteTableFile(const std::string& path, const DbfOpenOptions& options,
                      const RewritePlan& plan) {
    DbfOpenOptions open = options;
    open.checkProductionIndex = false;
    const auto source = DbfFile::Open(path, open);
    RewriteFile(*source, plan, options);
}

}  // namespace orbelan
