// Anuleaza / Reface in the main window.
#include <QAction>
#include <QMenu>
#include <QShortcut>

#include "app/data_grid.h"
#include "app/main_window.h"
#include "core/restore_points.h"
#include "core/undo_history.h"
#include "qtcommon/qt_text.h"

namespace orbelan {

void TForm1::BuildUndo() {
    gridMenu_->addSeparator();
    AddItem(gridMenu_, QStringLiteral("Anuleaza"), QStringLiteral("Anuleaza"),
            [this] { UndoClick(false); });
    QAction* undo = gridMenu_->actions().back();
    AddItem(gridMenu_, QStringLiteral("Reface"), QStringLiteral("Reface"),
            [this] { UndoClick(true); });
    QAction* redoAction = gridMenu_->actions().back();
    // The captions name what would be undone, read when the menu opens.
    connect(gridMenu_, &QMenu::aboutToShow, this, [this, undo, redoAction] {
        for (const bool redo : {false, true}) {
            QAction* action = redo ? redoAction : undo;
            std::optional<std::string> next;
            try {
                next = redo ? NextRedo(ws_) : NextUndo(ws_);
            } catch (const std::exception&) {
                // an unreadable history offers nothing
            }
            action->setText(Q(UndoCaption(next, redo)));
            action->setEnabled(next.has_value() && !busy_);
        }
    });
    for (const bool redo : {false, true}) {
        auto* shortcut =
            new QShortcut(QKeySequence(Qt::CTRL | (redo ? Qt::Key_Y : Qt::Key_Z)), this);
        shortcut->setObjectName(redo ? QStringLiteral("ShortcutRedo")
                                     : QStringLiteral("ShortcutUndo"));
        connect(shortcut, &QShortcut::activated, this,
                [this, redo] { Run([this, redo] { UndoClick(redo); }); });
    }
}

void TForm1::UndoClick(bool redo) {
    const char* title = redo ? "Reface" : "Anuleaza";
    try {
        if (!(redo ? RedoLast(ws_) : UndoLast(ws_)))
            ShowProblem(redo ? "Nu este nimic de refacut." : "Nu este nimic de anulat.",
                        UiControl::Grid);
    } catch (const UndoError& e) {
        Mesaj(title, e.what(), mkError, mbOK);
    }
    // An undone recode brings the old code page back: the status bar says which one.
    ShowPageStatus();
}

}  // namespace orbelan
