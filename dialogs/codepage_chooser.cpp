#include "dialogs/codepage_chooser.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace orbelan {

TCodePageChooser::TCodePageChooser(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CodePageChooser"));
    auto* layout = new QVBoxLayout(this);
    question_ = new QLabel(this);
    question_->setWordWrap(true);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("Pages"));
    // The previews are the point: a fixed-width font keeps the rows under one another.
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    list_->setFont(mono);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* choose =
        buttons->addButton(QStringLiteral("&Alege"), QDialogButtonBox::AcceptRole);
    choose->setObjectName(QStringLiteral("Alege"));
    choose->setAccessibleDescription(QStringLiteral("Foloseste codul de pagina ales"));
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("&Renunt"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("Renunt"));
    cancel->setAccessibleDescription(QStringLiteral("Inchide fereastra fara nicio schimbare"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    layout->addWidget(question_);
    layout->addWidget(list_, 1);
    layout->addWidget(buttons);
    resize(640, 480);
}

std::optional<std::string> TCodePageChooser::Choose(const QString& caption, const QString& question,
                                                    const std::vector<PageChoice>& pages,
                                                    const std::string& current) {
    setWindowTitle(caption);
    question_->setText(question);
    list_->clear();
    for (const PageChoice& p : pages) {
        QString text = QString::fromStdString(p.page);
        for (const std::string& line : p.preview)
            text += QStringLiteral("\n    ") + QString::fromStdString(line);
        auto* item = new QListWidgetItem(text, list_);
        item->setData(Qt::UserRole, QString::fromStdString(p.page));
        if (p.page == current) list_->setCurrentItem(item);
    }
    if (!list_->currentItem() && list_->count() > 0) list_->setCurrentRow(0);
    if (exec() != QDialog::Accepted || !list_->currentItem()) return std::nullopt;
    return list_->currentItem()->data(Qt::UserRole).toString().toStdString();
}

}  // namespace orbelan
