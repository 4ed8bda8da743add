#pragma once
// `orbelan undo FILE`, `redo FILE`, `history FILE`: the restore points of the rewriting commands.
namespace orbelan {

struct CliContext;

int UndoCommand(CliContext& c);
int RedoCommand(CliContext& c);
int HistoryCommand(CliContext& c);

}  // namespace orbelan
