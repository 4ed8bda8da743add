#include "editing/startup.h"

#include <filesystem>

#include "core/program_dir.h"
#include "engine/utf8_path.h"

namespace orbelan {

void StartUp(Workspace& ws, const std::vector<std::string>& args,
             const std::string& executablePath) {
    ws.CurrentFile.clear();
    ws.Sorting = false;
    ws.ProgramDir = ProgramDataDir();
    std::error_code ec;
    if (!args.empty() && std::filesystem::is_regular_file(PathFromUtf8(args.front()), ec)) {
        ws.CurrentFile = Utf8FromPath(std::filesystem::absolute(PathFromUtf8(args.front()), ec));
        ws.OpenTable(true);
        return;
    }
    ws.platform.RegisterExtension("dbf", executablePath);
}

void ResetFilter(Workspace& ws) {
    ws.table.SetFilterText("");
    ws.table.SetFiltered(false);
    ws.FilterOn = false;
    ws.window.SetFilterText("");
    ws.window.SetFilterButtonDown(false);
}

void OpenTableFile(Workspace& ws, const std::string& path) {
    ws.FinishPendingEdit();
    ws.CurrentFile = path;
    ResetFilter(ws);
    ws.OpenTable();
}

}  // namespace orbelan
