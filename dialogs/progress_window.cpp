#include "dialogs/progress_window.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace orbelan {

Tfrm_ProgressForm::Tfrm_ProgressForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frm_ProgressForm"));
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setModal(false);
    ProgressLabel = new QLabel(this);
    ProgressLabel->setObjectName(QStringLiteral("ProgressLabel"));
    ProgressLabel->move(8, 8);
    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setTextVisible(false);
    ProgressBar->setAccessibleName(QStringLiteral("Progres"));
    ProgressBar->setAccessibleDescription(QStringLiteral("Cat s-a exportat"));
    CancelButton = new QPushButton(QStringLiteral("&Renunt"), this);
    CancelButton->setAccessibleDescription(QStringLiteral("Opreste exportul"));
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    connect(CancelButton, &QPushButton::clicked, this, [this] { cancelled_ = true; });
}

void Tfrm_ProgressForm::Prepare(const ExportProgressRequest& request) {
    cancelled_ = false;
    setWindowTitle(QString::fromUtf8(request.caption.data(), qsizetype(request.caption.size())));
    // Room below the bar for the stop button.
    const int buttonRow = 31;
    setFixedSize(request.width, request.height - 19 + buttonRow);
    const int client = request.height - 19;
    ProgressBar->setGeometry(8, 0, width() - 16, 16);
    ProgressBar->setRange(0, std::max(1, request.total));
    ProgressBar->setValue(0);
    if (!request.text.empty()) {
        ProgressLabel->setText(
            QString::fromUtf8(request.text.data(), qsizetype(request.text.size())));
        ProgressLabel->adjustSize();
        ProgressLabel->move(8, 8);
        ProgressLabel->show();
        ProgressBar->move(8, std::max(ProgressLabel->geometry().bottom() + 4,
                                      (client - ProgressLabel->height() - 16) / 2 + 8));
    } else {
        ProgressLabel->hide();
        ProgressBar->move(8, (client - 16) / 2);
    }
    CancelButton->setGeometry(width() - 83, client + 2, 75, 25);
    show();
    repaint();
}

void Tfrm_ProgressForm::SetPosition(int position) {
    ProgressBar->setValue(position);
}

}  // namespace orbelan
