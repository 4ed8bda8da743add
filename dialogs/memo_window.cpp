#include "dialogs/memo_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orbelan {
namespace {

QString BinaryText(qint64 length) {
    return QStringLiteral("(BINAR, %1 octeti)").arg(length);
}

}  // namespace

TMemoForm::TMemoForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("MemoForm"));
    resize(560, 380);
    editor_ = new QPlainTextEdit(this);
    editor_->setObjectName(QStringLiteral("MemoText"));
    editor_->setTabChangesFocus(true);
    length_ = new QLabel(this);
    length_->setObjectName(QStringLiteral("MemoLength"));
    save_ = new QPushButton(QStringLiteral("&Salveaza"), this);
    save_->setObjectName(QStringLiteral("Salveaza"));
    cancel_ = new QPushButton(QStringLiteral("&Renunt"), this);
    cancel_->setObjectName(QStringLiteral("Renunt"));
    saveToFile_ = new QPushButton(QStringLiteral("Salveaza in fisier..."), this);
    saveToFile_->setObjectName(QStringLiteral("SalveazaInFisier"));
    loadFromFile_ = new QPushButton(QStringLiteral("Incarca din fisier..."), this);
    loadFromFile_->setObjectName(QStringLiteral("IncarcaDinFisier"));
    save_->setAutoDefault(false);
    cancel_->setAutoDefault(false);
    editor_->setAccessibleName(QStringLiteral("Textul"));
    editor_->setAccessibleDescription(QStringLiteral("Textul intreg al campului memo"));
    save_->setAccessibleDescription(QStringLiteral("Scrie textul in tabel"));
    cancel_->setAccessibleDescription(QStringLiteral("Inchide fereastra fara a scrie"));
    saveToFile_->setAccessibleDescription(QStringLiteral("Scrie valoarea intr-un fisier ales"));
    loadFromFile_->setAccessibleDescription(QStringLiteral("Ia valoarea dintr-un fisier ales"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(saveToFile_);
    buttons->addWidget(loadFromFile_);
    buttons->addStretch(1);
    buttons->addWidget(save_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(editor_, 1);
    layout->addWidget(length_);
    layout->addLayout(buttons);

    connect(save_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(saveToFile_, &QPushButton::clicked, this, [this] {
        if (saveToFile) saveToFile();
    });
    connect(loadFromFile_, &QPushButton::clicked, this, [this] {
        if (!loadFromFile) return;
        const qint64 length = loadFromFile();
        if (length < 0) return;
        length_->setText(BinaryText(length));
        save_->setEnabled(true);
    });
}

void TMemoForm::ShowText(const QString& caption, const QString& text) {
    setWindowTitle(caption);
    editor_->setPlainText(text);
    editor_->setVisible(true);
    length_->setVisible(false);
    saveToFile_->setVisible(false);
    loadFromFile_->setVisible(false);
    save_->setEnabled(true);
    editor_->setFocus();
}

void TMemoForm::ShowBinary(const QString& caption, qint64 length) {
    setWindowTitle(caption);
    editor_->clear();
    editor_->setVisible(false);
    length_->setText(BinaryText(length));
    length_->setVisible(true);
    saveToFile_->setVisible(true);
    loadFromFile_->setVisible(true);
    save_->setEnabled(false);  // until a file is loaded
}

QString TMemoForm::Text() const {
    return editor_->toPlainText();
}

}  // namespace orbelan
