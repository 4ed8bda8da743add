// The main window's memo window, deleted rows and find-and-replace: the menu items, Ctrl+H and
// the handlers that show the windows and run the commands.
#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QShortcut>

#include "app/data_grid.h"
#include "app/main_window.h"
#include "dialogs/memo_window.h"
#include "dialogs/replace_window.h"
#include "editing/replace_command.h"
#include "editing/row_commands.h"
#include "engine/dbf_file.h"
#include "engine/errors.h"
#include "qtcommon/qt_text.h"

namespace orbelan {

void TForm1::BuildMemoItems() {
    // The right-click menu: PopupMenu1's items, then these (and undo's after them).
    gridMenu_ = AddMenu(QStringLiteral("GridMenu"));
    QMenu* grid = gridMenu_;
    grid->addActions(popupMenu1_->actions());
    grid->addSeparator();
    QAction* show = grid->addAction(QStringLiteral("Arata liniile sterse"));
    show->setObjectName(QStringLiteral("Aratalinilesterse1"));
    show->setCheckable(true);
    connect(show, &QAction::toggled, this,
            [this](bool on) { Run([this, on] { AratalinilesterseClick(on); }); });
    AddItem(grid, QStringLiteral("RecupereazaLinia1"), QStringLiteral("Recupereaza linia"),
            [this] { RecupereazaLinia1Click(); });
    grid->addSeparator();
    AddItem(grid, QStringLiteral("CautasiInlocuieste1"),
            QStringLiteral("Cauta si inlocuieste...\tCtrl+H"),
            [this] { CautasiInlocuiesteClick(); });
    auto* replace = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_H), this);
    replace->setObjectName(QStringLiteral("ShortcutReplace"));
    connect(replace, &QShortcut::activated, this,
            [this] { Run([this] { CautasiInlocuiesteClick(); }); });
    connect(grid_, &TDataGrid::memoWanted, this,
            [this](int row, int column) { Run([this, row, column] { EditMemo(row, column); }); });
    new TMemoForm(this);
    new TReplaceForm(this);
}

void TForm1::AratalinilesterseClick(bool on) {
    if (ws_.table.Active()) ws_.PostPendingEdit();
    ws_.table.SetShowingDeleted(on);
}

void TForm1::RecupereazaLinia1Click() {
    RecallRow(ws_);
}

void TForm1::EditMemo(int row, int column) {
    Table& tx = ws_.table;
    if (!tx.Active() || column < 0 || column >= tx.FieldCount()) return;
    ws_.PostPendingEdit();
    tx.MoveTo(row);
    const FieldDef field = tx.Field(column);
    auto* form = findChild<TMemoForm*>();
    const QString caption = QStringLiteral("%1 - linia %2").arg(Q(field.name)).arg(row + 1);
    if (field.HoldsBytes()) {
        const MemoValue value = tx.Data().MemoBytes(tx.RecordAt(row), column);
        if (!value.ok) throw DbfError(ErrorKind::Io, value.bytes);
        std::optional<std::string> loaded;
        form->saveToFile = [&] {
            const auto path =
                AskSaveFile({"Salveaza valoarea in fisier", "Toate fisierele|*.*", "", ""});
            if (!path) return;
            QFile out(Q(*path));
            if (!out.open(QIODevice::WriteOnly) ||
                out.write(value.bytes.data(), qint64(value.bytes.size())) !=
                    qint64(value.bytes.size()))
                Mesaj("Memo", "Fisierul " + *path + " nu poate fi scris.", mkError, mbOK);
        };
        form->loadFromFile = [&]() -> qint64 {
            FileDialogRequest request{"Incarca valoarea din fisier", "Toate fisierele|*.*", "", ""};
            request.mustExist = true;
            const auto path = AskOpenFile(request);
            if (!path) return -1;
            QFile in(Q(*path));
            if (!in.open(QIODevice::ReadOnly)) {
                Mesaj("Memo", "Fisierul " + *path + " nu poate fi citit.", mkError, mbOK);
                return -1;
            }
            const QByteArray bytes = in.readAll();
            loaded = std::string(bytes.constData(), size_t(bytes.size()));
            return bytes.size();
        };
        form->ShowBinary(caption, qint64(value.bytes.size()));
        const bool save = form->exec() == QDialog::Accepted && loaded;
        form->saveToFile = nullptr;
        form->loadFromFile = nullptr;
        if (!save) return;
        tx.SetMemoBytes(column, std::move(*loaded));
        tx.Post();
        return;
    }
    const std::string text = tx.AsText(column);
    // Memo texts keep the line ends they were written with; new ones get CR LF, as DOS and
    // Windows programs write them.
    const bool crlf =
        text.find("\r\n") != std::string::npos || text.find('\n') == std::string::npos;
    form->ShowText(caption, Q(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    while (form->exec() == QDialog::Accepted) {
        QString edited = form->Text();
        if (crlf) edited.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        const std::string value = S(edited);
        if (value == text) return;
        try {
            tx.SetText(column, value);
            tx.Post();
            return;
        } catch (const DbfError& e) {
            // The window stays open with what was typed, so it can be corrected.
            if (tx.GetState() != Table::State::Browse) tx.Cancel();
            Mesaj("Memo", e.what(), mkError, mbOK);
        }
    }
}

void TForm1::CautasiInlocuiesteClick() {
    Table& tx = ws_.table;
    if (!tx.Active()) return;
    ws_.PostPendingEdit();
    auto* form = findChild<TReplaceForm*>();
    QStringList columns;
    for (int i = 0; i < tx.FieldCount(); ++i) {
        const char type = tx.Field(i).type;
        if (type == 'C' || type == 'V' || type == 'M') columns << Q(tx.Field(i).name);
    }
    form->SetColumns(columns);
    const auto request = [form] {
        ReplaceRequest r;
        r.column = S(form->Column());
        r.find = S(form->FindText());
        r.replacement = S(form->ReplacementText());
        r.wholeValue = form->WholeValue();
        r.matchCase = form->MatchCase();
        return r;
    };
    const auto guarded = [this](const std::function<void()>& step) {
        try {
            step();
        } catch (const std::exception& e) {
            Mesaj("Cauta si inlocuieste", e.what(), mkError, mbOK);
        }
    };
    const auto count = connect(form, &TReplaceForm::countWanted, this, [=, this] {
        guarded([&] {
            const auto changes = FindReplacements(ws_, request());
            size_t refused = 0;
            for (const ReplaceChange& c : changes) refused += !c.problem.empty();
            QString text = changes.size() == 1
                               ? QStringLiteral("1 valoare s-ar schimba.")
                               : QStringLiteral("%1 valori s-ar schimba.").arg(changes.size());
            if (refused == 1)
                text += QStringLiteral(" Una nu incape in camp.");
            else if (refused > 1)
                text += QStringLiteral(" %1 dintre ele nu incap in camp.").arg(refused);
            form->ShowCount(text);
        });
    });
    const auto replace = connect(form, &TReplaceForm::replaceWanted, this, [=, this] {
        guarded([&] {
            if (ReplaceAll(ws_, request()).replaced > 0) form->accept();
        });
    });
    form->FindEdit()->setFocus();
    form->exec();
    disconnect(count);
    disconnect(replace);
}

}  // namespace orbelan
