#include "dialogs/replace_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orbelan {

TReplaceForm::TReplaceForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ReplaceForm"));
    setWindowTitle(QStringLiteral("Cauta si inlocuieste"));
    find_ = new QLineEdit(this);
    find_->setObjectName(QStringLiteral("Cauta"));
    replacement_ = new QLineEdit(this);
    replacement_->setObjectName(QStringLiteral("Inlocuieste"));
    columns_ = new QComboBox(this);
    columns_->setObjectName(QStringLiteral("Coloana"));
    whole_ = new QCheckBox(QStringLiteral("Toata &valoarea"), this);
    whole_->setObjectName(QStringLiteral("ToataValoarea"));
    matchCase_ = new QCheckBox(QStringLiteral("&Litere mari si mici deosebite"), this);
    matchCase_->setObjectName(QStringLiteral("LitereMari"));
    countLabel_ = new QLabel(QStringLiteral("Numai in liniile afisate."), this);
    countLabel_->setObjectName(QStringLiteral("Numarul"));
    countLabel_->setWordWrap(true);
    count_ = new QPushButton(QStringLiteral("&Numara"), this);
    count_->setObjectName(QStringLiteral("Numara"));
    replaceAll_ = new QPushButton(QStringLiteral("&Inlocuieste tot"), this);
    replaceAll_->setObjectName(QStringLiteral("InlocuiesteTot"));
    cancel_ = new QPushButton(QStringLiteral("&Renunt"), this);
    cancel_->setObjectName(QStringLiteral("Renunt"));
    for (QPushButton* b : {count_, replaceAll_, cancel_}) b->setAutoDefault(false);
    find_->setAccessibleName(QStringLiteral("Cauta"));
    find_->setAccessibleDescription(QStringLiteral("Textul cautat"));
    replacement_->setAccessibleName(QStringLiteral("Inlocuieste cu"));
    replacement_->setAccessibleDescription(QStringLiteral("Textul pus in locul celui cautat"));
    whole_->setAccessibleDescription(QStringLiteral("Numai valorile care sunt intregi textul"));
    matchCase_->setAccessibleDescription(
        QStringLiteral("Literele mari nu se potrivesc cu cele mici"));
    count_->setAccessibleDescription(QStringLiteral("Arata cate valori s-ar schimba"));
    replaceAll_->setAccessibleDescription(QStringLiteral("Inlocuieste in toate liniile afisate"));
    cancel_->setAccessibleDescription(QStringLiteral("Inchide fereastra"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Cauta:"), find_);
    form->addRow(QStringLiteral("In&locuieste cu:"), replacement_);
    form->addRow(QStringLiteral("C&oloana:"), columns_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(count_);
    buttons->addStretch(1);
    buttons->addWidget(replaceAll_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(whole_);
    layout->addWidget(matchCase_);
    layout->addWidget(countLabel_);
    layout->addLayout(buttons);

    connect(count_, &QPushButton::clicked, this, &TReplaceForm::countWanted);
    connect(replaceAll_, &QPushButton::clicked, this, &TReplaceForm::replaceWanted);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    // A changed choice makes the last count stale.
    const auto stale = [this] {
        countLabel_->setText(QStringLiteral("Numai in liniile afisate."));
    };
    connect(find_, &QLineEdit::textChanged, this, stale);
    connect(columns_, &QComboBox::currentIndexChanged, this, stale);
    connect(whole_, &QCheckBox::toggled, this, stale);
    connect(matchCase_, &QCheckBox::toggled, this, stale);
}

void TReplaceForm::SetColumns(const QStringList& names) {
    const QString chosen = columns_->currentText();
    columns_->clear();
    columns_->addItem(QStringLiteral("(toate coloanele de text)"));
    columns_->addItems(names);
    const int again = columns_->findText(chosen);
    columns_->setCurrentIndex(again > 0 ? again : 0);
}

QString TReplaceForm::FindText() const {
    return find_->text();
}

QString TReplaceForm::ReplacementText() const {
    return replacement_->text();
}

QString TReplaceForm::Column() const {
    return columns_->currentIndex() <= 0 ? QString() : columns_->currentText();
}

bool TReplaceForm::WholeValue() const {
    return whole_->isChecked();
}

bool TReplaceForm::MatchCase() const {
    return matchCase_->isChecked();
}

void TReplaceForm::ShowCount(const QString& text) {
    countLabel_->setText(text);
}

}  // namespace orbelan
