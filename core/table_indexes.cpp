#include "core/table_indexes.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "core/replace_table.h"
#include "core/restore_points.h"
#include "core/workspace.h"
#include "engine/dbf_file.h"
#include "engine/dbf_writer.h"
#include "engine/errors.h"
#include "engine/file_io.h"
#include "engine/index/index_set.h"
#include "engine/rewrite.h"
#include "engine/utf8_path.h"

namespace orbelan {
namespace {

namespace fs = std::filesystem;

std::string StoreOf(const std::string& programDir, const std::string& path) {
    return programDir + "indexes/" + TableKey(path);
}

// The names kept for the table: file names only, so nothing read back leads out of its folder.
std::vector<std::string> StoredNames(const std::string& programDir, const std::string& path) {
    std::vector<std::string> names;
    std::ifstream in(PathFromUtf8(StoreOf(programDir, path)), std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line == "." || line == ".." ||
            line.find_first_of("/\\:") != std::string::npos)
            continue;
        if (std::find(names.begin(), names.end(), line) == names.end()) names.push_back(line);
    }
    return names;
}

void StoreNames(const std::string& programDir, const std::string& path,
                const std::vector<std::string>& names) {
    const std::string store = StoreOf(programDir, path);
    std::error_code ec;
    fs::create_directories(PathFromUtf8(programDir + "indexes"), ec);
    if (names.empty()) {
        RemoveFile(store);
        return;
    }
    std::string text;
    for (const std::string& n : names) text += n + "\n";
    TempFile file(store);
    file.Write(text.data(), text.size());
    file.Finish();
    file.RenameOverTarget();
}

}  // namespace

std::vector<std::string> AttachedIndexes(const std::string& programDir, const std::string& path) {
    std::vector<std::string> files;
    if (programDir.empty() || path.empty()) return files;
    const fs::path folder = PathFromUtf8(path).parent_path();
    for (const std::string& name : StoredNames(programDir, path)) {
        const std::string file = Utf8FromPath(folder / PathFromUtf8(name));
        if (FileExists(file)) files.push_back(file);
    }
    return files;
}

void AttachIndexFile(const std::string& programDir, const std::string& path,
                     const std::string& indexFile) {
    std::error_code ec;
    const fs::path table = fs::weakly_canonical(PathFromUtf8(path), ec);
    const fs::path index = fs::weakly_canonical(PathFromUtf8(indexFile), ec);
    if (!FileExists(indexFile))
        throw DbfError(ErrorKind::CannotOpen, "Fisierul index " + indexFile + " nu exista.");
    if (table.parent_path() != index.parent_path())
        throw DbfError(ErrorKind::State, "Fisierul index " + indexFile +
                                             " trebuie sa fie in acelasi folder cu tabelul " +
                                             path + ".");
    const IndexFormat format = IndexFormatOfFile(indexFile);
    if (format == IndexFormat::Cdx || format == IndexFormat::Mdx)
        throw DbfError(ErrorKind::State,
                       "Fisierul " + indexFile +
                           " este un index cu mai multe etichete; tabelul il foloseste singur "
                           "cand are acelasi nume cu el.");
    if (programDir.empty())
        throw DbfError(ErrorKind::Io,
                       "Programul nu are un folder de date unde sa tina minte "
                       "indexul atasat.");
    std::vector<std::string> names = StoredNames(programDir, path);
    const std::string name = Utf8FromPath(index.filename());
    if (std::find(names.begin(), names.end(), name) != names.end()) return;
    names.push_back(name);
    StoreNames(programDir, path, names);
}

std::vector<std::string> AttachedIndexNames(const std::string& programDir,
                                            const std::string& path) {
    if (programDir.empty() || path.empty()) return {};
    return StoredNames(programDir, path);
}

void SetUpIndexes(Workspace& ws) {
    const auto attached = [&ws](const std::string& path) {
        return AttachedIndexes(ws.ProgramDir, path);
    };
    const auto ask = [&ws](const std::string& path, const std::string& question,
                           const std::function<void()>& detach) {
        if (ws.messages.Mesaj("Index", question, mkWarning, mbYesNo | mbDefaultNo) != mrYes)
            return false;
        // The old index files stay in a restore point: undo brings them back with the table.
        const std::string running = ws.RunningCommand;
        if (running.empty()) ws.RunningCommand = "Scoaterea indexului";
        try {
            WithRestorePoint(ws, path, detach);
        } catch (...) {
            ws.RunningCommand = running;
            throw;
        }
        ws.RunningCommand = running;
        // The edit that asked follows the point, as after any rewrite of the open table.
        ws.history.TableRewritten(path);
        return true;
    };
    for (Table* t : {&ws.table, &ws.secondTable, static_cast<Table*>(&ws.query)})
        t->SetIndexOptions(attached, ask);
}

std::vector<std::string> DescribeIndexes(const DbfFile& file) {
    std::vector<std::string> lines;
    const IndexSet* set = file.Indexes();
    if (!file.IndexDamage().empty()) lines.push_back("Index ilizibil: " + file.IndexDamage());
    if (!set) return lines;
    for (const IndexFileInfo& f : set->Files()) {
        lines.push_back("Index: " + f.path + " (" + IndexFormatName(f.format) +
                        (f.production ? ", structural" : ", atasat") + ")");
        for (const IndexTagInfo& t : f.tags) {
            std::string line = "  " + t.name + ": " + t.expression;
            if (!t.forCondition.empty()) line += " FOR " + t.forCondition;
            if (t.unique) line += " [unic]";
            if (t.candidate) line += " [candidat]";
            if (t.descending) line += " [descendent]";
            if (!t.collation.empty() && t.collation != "MACHINE") line += " [" + t.collation + "]";
            if (!t.rebuildable) line += " [nu poate fi refacut: " + t.whyNot + "]";
            lines.push_back(line);
        }
    }
    return lines;
}

std::string IndexSummary(const DbfFile& file) {
    const IndexSet* set = file.Indexes();
    if (!file.IndexDamage().empty()) return "   Index ilizibil";
    if (!set) return {};
    std::string text;
    for (const IndexFileInfo& f : set->Files()) {
        text += "   Index " + Utf8FromPath(PathFromUtf8(f.path).filename()) + ":";
        bool first = true;
        for (const IndexTagInfo& t : f.tags) {
            text += (first ? " " : ", ") + t.name + " = " + t.expression;
            if (!t.forCondition.empty()) text += " FOR " + t.forCondition;
            if (t.unique) text += " [unic]";
            if (t.candidate) text += " [candidat]";
            if (t.descending) text += " [descendent]";
            first = false;
        }
    }
    return text;
}

std::vector<IndexProblem> CheckIndexes(Workspace& ws) {
    const DbfFile& file = ws.table.Data();
    const IndexSet* set = file.Indexes();
    if (!file.IndexDamage().empty()) return {{file.Path(), "", file.IndexDamage()}};
    if (!set) throw DbfError(ErrorKind::State, "Tabelul " + file.Path() + " nu are index.");
    return set->Check(file);
}

namespace {

// The open table written anew, same rows, with the index given (or its own).
void RewriteWithIndex(Workspace& ws, const std::function<IndexSet*(DbfFile&)>& prepare) {
    ReplaceAndReopen(ws, [&](const std::string& path) {
        const DbfOpenOptions options = FileOptionsOf(ws.table);
        auto source = DbfFile::Open(path, options);
        RewritePlan plan;
        plan.indexes = prepare(*source);
        plan.fill = [](const DbfFile& old, DbfWriter& out) { out.AddRecordsOf(old); };
        RewriteFile(*source, plan, options);
    });
}

}  // namespace

void RebuildIndexes(Workspace& ws) {
    const DbfFile& file = ws.table.Data();
    if (!file.Indexes()) {
        if (!file.IndexDamage().empty())
            throw DbfError(ErrorKind::State,
                           "Indexul nu poate fi refacut: nu poate fi citit (" + file.IndexDamage() +
                               "). Folositi \"Sterge Index\" si creati-l din nou.");
        throw DbfError(ErrorKind::State, "Tabelul " + file.Path() + " nu are index.");
    }
    RewriteWithIndex(ws, [](DbfFile& source) {
        IndexSet* set = source.Indexes();
        if (!set) throw DbfError(ErrorKind::State, "Indexul tabelului nu mai poate fi citit.");
        return set;
    });
}

void AddIndexTag(Workspace& ws, const NewIndexTag& tag) {
    std::unique_ptr<IndexSet> created;
    RewriteWithIndex(ws, [&](DbfFile& source) {
        IndexSet* set = source.Indexes();
        if (!source.IndexDamage().empty())
            throw DbfError(ErrorKind::State,
                           "Indexul tabelului nu poate fi citit: " + source.IndexDamage());
        if (!set) {
            created = IndexSet::CreateProduction(source);
            set = created.get();
        }
        set->AddTag(source, tag);
        return set;
    });
}

void DropIndexTag(Workspace& ws, const std::string& name) {
    RewriteWithIndex(ws, [&](DbfFile& source) {
        IndexSet* set = source.Indexes();
        if (!set) throw DbfError(ErrorKind::State, "Tabelul " + source.Path() + " nu are index.");
        set->DropTag(name);
        return set;
    });
}

void AttachIndex(Workspace& ws, const std::string& indexFile) {
    const std::string path = ws.table.TableName();
    AttachIndexFile(ws.ProgramDir, path, indexFile);
    ReopenAround(ws, [](const std::string&) {});
}

}  // namespace orbelan
