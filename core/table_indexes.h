#pragma once
// The index files of the user's tables as the commands see them: the single-index files the
// user attached to a table (remembered in the program's data folder, for the window and the
// command line alike) and the question asked before an index is left behind.
#include <string>
#include <vector>

#include "engine/index/index_set.h"

namespace orbelan {

class DbfFile;
class Workspace;

// The attached files of the table at path that still exist (full paths, beside the table).
std::vector<std::string> AttachedIndexes(const std::string& programDir, const std::string& path);
// Attaches an index file to the table: it must be an index file we read (.idx .ndx .ntx), in
// the table's folder. Throws DbfError with the reason otherwise; attaching it twice is no error.
void AttachIndexFile(const std::string& programDir, const std::string& path,
                     const std::string& indexFile);
// The names (without folder) of the files attached to the table, whether they exist or not.
std::vector<std::string> AttachedIndexNames(const std::string& programDir, const std::string& path);

// Gives the workspace's tables their attached files and the question before an index that
// can't be kept current is left behind: default NU; DA takes the index off under a restore
// point, so undo brings the old index file back.
void SetUpIndexes(Workspace& ws);

// The table's index files and tags, a line each: "Index: FILE (CDX, structural)" then
// "  TAG: EXPR [FOR COND] [unic] [candidat] [descendent]"; empty when it has none.
std::vector<std::string> DescribeIndexes(const DbfFile& file);

// The same on one line for the status bar: "  Index CUSTOMERS.CDX: TAG = EXPR [unic], ..."; empty
// when the table has none.
std::string IndexSummary(const DbfFile& file);

// Every tag of the open table against its rows: what disagrees, empty when all agree. An index
// that can't be read at all is one problem.
std::vector<IndexProblem> CheckIndexes(Workspace& ws);
// Writes every index file of the open table anew from its rows (under a restore point).
void RebuildIndexes(Workspace& ws);
// A tag added to (or dropped from) the open table's index: the table is written anew with its
// index (a new structural index when it had none), under a restore point.
void AddIndexTag(Workspace& ws, const NewIndexTag& tag);
void DropIndexTag(Workspace& ws, const std::string& name);
// Attaches an index file to the open table (see AttachIndexFile) and opens the table again
// with it.
void AttachIndex(Workspace& ws, const std::string& indexFile);

}  // namespace orbelan
