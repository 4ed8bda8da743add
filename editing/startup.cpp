#include "editing/startup.h"

#include <filesystem>

namespace orbelan {

void FormShow(Workspace& ws, const std::vector<std::string>& args, const std::string& programDir,
              const std::string& executablePath) {
    ws.CurrentFile.clear();
    ws.Sorting = false;
    ws.ProgramDir = programDir;
    ws.StartedWithArgument = !args.empty();
    std::error_code ec;
    if (!args.empty() && std::filesystem::is_regular_file(args.front(), ec)) {
        ws.CurrentFile = std::filesystem::absolute(args.front(), ec).string();
        ws.OpenTable();
        return;
    }
    ws.platform.RegisterExtension("dbf", executablePath);
}

void ResetFilter(Workspace& ws) {
    ws.Tx.SetFilterText("");
    ws.Tx.SetFiltered(false);
    ws.ui.SetFilterText("");
    ws.ui.SetFilterButtonDown(false);
}

void BOpenClick(Workspace& ws) {
    const auto chosen = ws.ui.AskOpenFile(
        {"Alegeti DBF-ul de citit!", "Fisiere DBF|*.DBF", "*.dbf", ws.CurrentFile});
    if (!chosen) return;
    ws.FinishPendingEdit();
    ws.CurrentFile = *chosen;
    ResetFilter(ws);
    ws.OpenTable();
}

}  // namespace orbelan
