#include "cli/undo_cli.h"

#include <ctime>

#include "cli/cli_app.h"
#include "cli/cli_context.h"
#include "core/restore_points.h"
#include "core/undo_history.h"

namespace orbelan {
namespace {

int Swap(CliContext& c, bool redo) {
    ExpectArgs(c.options, 1);
    if (!kRestorePointsAvailable) {
        c.out << kRestorePointsMissing << '\n';
        return kExitEngine;
    }
    const std::string& path = Arg(c.options, 0, "fisierul");
    if (!redo) {
        // Rows edited after the command, in the window, go with it: a question that destroys data.
        const RestorePoints before(c.ws.ProgramDir, path);
        const RestorePoint* next = before.NextUndo();
        const int64_t lost = next ? RowsEditedAfterCommand(c.ws.ProgramDir, path) : 0;
        if (lost > 0) {
            c.messages.guarded = true;
            if (c.messages.Mesaj("Anuleaza", LosesEditsQuestion(next->name, lost), mkConfirmation,
                                 mbYesNo) != mrYes)
                return kExitUsage;
        }
    }
    RestorePoints points(c.ws.ProgramDir, path);
    const auto name = redo ? points.Redo() : points.Undo();
    if (!name) {
        c.out << (redo ? "Nu este nimic de refacut." : "Nu este nimic de anulat.") << '\n';
        return kExitUsage;
    }
    c.out << (redo ? "Refacut: " : "Anulat: ") << *name << '\n';
    return kExitDone;
}

std::string TimeText(int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

}  // namespace

int UndoCommand(CliContext& c) {
    return Swap(c, false);
}

int RedoCommand(CliContext& c) {
    return Swap(c, true);
}

int HistoryCommand(CliContext& c) {
    ExpectArgs(c.options, 1);
    const RestorePoints points(c.ws.ProgramDir, Arg(c.options, 0, "fisierul"));
    if (points.Points().empty()) c.out << "Nu exista copii de siguranta.\n";
    for (const RestorePoint& p : points.Points())
        c.out << TimeText(p.time) << '\t' << p.name << '\t' << p.rowsBefore << " -> " << p.rowsAfter
              << " linii\t" << (p.undone ? p.sizeAfter : p.sizeBefore) << " octeti"
              << (p.undone ? "\tanulata" : "")
              << (p.problem.empty() ? "" : "\tnu poate fi folosita: " + p.problem) << '\n';
    return kExitDone;
}

}  // namespace orbelan
