#include "dialogs/structure_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "dialogs/new_table_choice.h"
#include "editing/structure_commands.h"
#include "engine/field_list.h"
#include "qtcommon/qt_text.h"

namespace orbelan {
namespace {

constexpr Qt::WindowFlags kFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

QPushButton* Button(const QString& name, const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

TStructura::TStructura(Mode mode, QWidget* parent) : QDialog(parent, kFlags), mode_(mode) {
    const bool creating = mode == Mode::NewTable;
    setObjectName(QStringLiteral("Structura"));
    setWindowTitle(creating ? QStringLiteral("Tabel nou") : QStringLiteral("Structura tabelului"));
    resize(560, 420);

    auto* layout = new QVBoxLayout(this);
    auto* top = new QFormLayout();
    format_ = NewTableFormatBox(this);
    codePage_ = NewTableCodePageBox(this);
    top->addRow(QStringLiteral("Formatul:"), format_);
    top->addRow(QStringLiteral("Codul de pagina:"), codePage_);
    layout->addLayout(top);
    // A structure change keeps the table's format and code page.
    format_->setEnabled(creating);
    codePage_->setEnabled(creating);

    grid_ = new FieldGrid(this);
    auto* middle = new QHBoxLayout();
    middle->addWidget(grid_, 1);
    auto* side = new QVBoxLayout();
    QPushButton* add = Button(QStringLiteral("Adauga"), QStringLiteral("A&dauga camp"), this);
    QPushButton* remove = Button(QStringLiteral("Sterge"), QStringLiteral("&Sterge campul"), this);
    QPushButton* up = Button(QStringLiteral("Sus"), QStringLiteral("Mai s&us"), this);
    QPushButton* down = Button(QStringLiteral("Jos"), QStringLiteral("Mai &jos"), this);
    for (QPushButton* b : {add, remove, up, down}) side->addWidget(b);
    side->addStretch(1);
    middle->addLayout(side);
    layout->addLayout(middle, 1);

    auto* buttons = new QHBoxLayout();
    QPushButton* cancel = Button(QStringLiteral("Renunt"), QStringLiteral("&Renunt"), this);
    accept_ = Button(QStringLiteral("Accept"),
                     creating ? QStringLiteral("&Creeaza") : QStringLiteral("&Aplica"), this);
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    buttons->addWidget(accept_);
    layout->addLayout(buttons);

    connect(format_, &QComboBox::currentIndexChanged, this, [this] { grid_->SetFamily(Family()); });
    connect(add, &QPushButton::clicked, grid_, &FieldGrid::AddField);
    connect(remove, &QPushButton::clicked, grid_, &FieldGrid::RemoveCurrent);
    connect(up, &QPushButton::clicked, this, [this] { grid_->MoveCurrent(-1); });
    connect(down, &QPushButton::clicked, this, [this] { grid_->MoveCurrent(1); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(accept_, &QPushButton::clicked, this, &TStructura::AcceptClick);
}

void TStructura::SetNewTable() {
    format_->setCurrentIndex(0);
    codePage_->setCurrentText(QStringLiteral("cp1250"));
    grid_->SetFamily(Family());
    grid_->SetFields({});
    grid_->AddField();
}

void TStructura::SetTable(DbfFamily family, const std::string& codePage,
                          const std::vector<FieldDef>& fields) {
    const int index = format_->findData(static_cast<int>(family));
    if (index >= 0) {
        format_->setCurrentIndex(index);
    } else {  // dBase 7: shown by name, new fields as dBase IV's
        format_->addItem(QStringLiteral("dBase 7"), static_cast<int>(family));
        format_->setCurrentIndex(format_->count() - 1);
    }
    codePage_->setCurrentText(Q(codePage));
    grid_->SetFamily(family);
    grid_->SetFields(fields);
    if (!fields.empty()) grid_->setCurrentCell(0, FieldGrid::ColName);
}

DbfFamily TStructura::Family() const {
    return ChosenFamily(format_);
}

std::string TStructura::CodePageName() const {
    return S(codePage_->currentText());
}

void TStructura::AcceptClick() {
    if (!grid_->Check()) return;
    if (!onAccept || onAccept()) accept();
}

TValoriNepotrivite::TValoriNepotrivite(const Misfits& check, QWidget* parent)
    : QDialog(parent, kFlags) {
    setObjectName(QStringLiteral("ValoriNepotrivite"));
    setWindowTitle(QStringLiteral("Structura tabelului"));
    resize(620, 380);
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(this);
    text->setObjectName(QStringLiteral("Numar"));
    text->setWordWrap(true);
    QString what =
        QString::number(check.count) +
        (check.count == 1 ? QStringLiteral(" valoare nu incape in noua structura sau nu poate fi "
                                           "convertita.")
                          : QStringLiteral(" valori nu incap in noua structura sau nu pot fi "
                                           "convertite."));
    if (check.count > check.listed.size())
        what += QStringLiteral(" Sunt aratate primele %1.").arg(check.listed.size());
    what += QStringLiteral(" Aplicati oricum? Valorile acestea vor ramane goale.");
    text->setText(what);
    layout->addWidget(text);

    list_ = new QTableWidget(static_cast<int>(check.listed.size()), 4, this);
    list_->setObjectName(QStringLiteral("Lista"));
    list_->setHorizontalHeaderLabels({QStringLiteral("Linia"), QStringLiteral("Coloana"),
                                      QStringLiteral("Valoarea"), QStringLiteral("Motivul")});
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->verticalHeader()->hide();
    list_->horizontalHeader()->setStretchLastSection(true);
    for (size_t i = 0; i < check.listed.size(); ++i) {
        const Misfit& m = check.listed[i];
        const int row = static_cast<int>(i);
        list_->setItem(row, 0, new QTableWidgetItem(QString::number(m.row)));
        list_->setItem(row, 1, new QTableWidgetItem(Q(m.column)));
        list_->setItem(row, 2, new QTableWidgetItem(Q(m.value)));
        list_->setItem(row, 3, new QTableWidgetItem(Q(m.reason)));
    }
    list_->resizeColumnsToContents();
    layout->addWidget(list_, 1);

    auto* buttons = new QHBoxLayout();
    QPushButton* cancel = Button(QStringLiteral("Renunt"), QStringLiteral("&Renunt"), this);
    QPushButton* save =
        Button(QStringLiteral("Salveaza"), QStringLiteral("&Salveaza lista..."), this);
    QPushButton* apply = Button(QStringLiteral("Oricum"), QStringLiteral("Aplica &oricum"), this);
    buttons->addWidget(cancel);
    buttons->addWidget(save);
    buttons->addStretch(1);
    buttons->addWidget(apply);
    layout->addLayout(buttons);
    const std::string csv = check.Csv();
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(apply, &QPushButton::clicked, this, &QDialog::accept);
    connect(save, &QPushButton::clicked, this, [this, csv] {
        if (onSave) onSave(csv);
    });
    cancel->setDefault(true);
}

}  // namespace orbelan
