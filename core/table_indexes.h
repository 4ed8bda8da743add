#pragma once
// The index files of the user's tables as the commands see them: the single-index files the
// user attached to a table (remembered in the program's data folder, for the window and the
// command line alike) and the question asked before an index is left behind.
#include <string>
#include <vector>

namespace orbelan {

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

}  // namespace orbelan
