#include "dialogs/select2col.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>

#include "dialogs/balloon_hint.h"
#include "dialogs/kind_icons.h"

namespace orbelan {
namespace {

constexpr int ClientWidth = 349;
constexpr int ClientHeight = 192;
constexpr int PanelHeight = 41;

QWidget* WhitePanel(QWidget* parent, const QRect& geometry) {
    auto* panel = new QWidget(parent);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, Qt::white);
    panel->setPalette(pal);
    panel->setAutoFillBackground(true);
    panel->setGeometry(geometry);
    return panel;
}

QLabel* Caption(const QString& text, QWidget* parent, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QComboBox* ColumnList(const QString& name, QWidget* parent, int left, int top) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(false);
    combo->setCursor(Qt::PointingHandCursor);
    combo->setGeometry(left, top, 193, combo->sizeHint().height());
    return combo;
}

}  // namespace

TSelect2Col::TSelect2Col(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Select2Col"));
    setWindowTitle(QStringLiteral("Inversare coloane"));
    setFixedSize(ClientWidth, ClientHeight);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));

    QWidget* top = WhitePanel(this, QRect(0, 0, ClientWidth, PanelHeight));
    auto* icon = new QLabel(top);
    icon->setGeometry(4, 4, 41, 41);
    icon->setPixmap(DrawColumnIcon(41));
    QLabel* heading = Caption(QStringLiteral("Alegeti coloanele"), top, 48, 12);
    QFont headingFont = font();
    headingFont.setPointSize(10);
    headingFont.setBold(true);
    heading->setFont(headingFont);
    heading->adjustSize();

    Caption(QStringLiteral("Coloana 1"), this, 24, 80);
    col1_ = ColumnList(QStringLiteral("Col1"), this, 128, 72);
    Caption(QStringLiteral("Coloana 2"), this, 24, 104);
    col2_ = ColumnList(QStringLiteral("Col2"), this, 128, 96);

    QWidget* bottom =
        WhitePanel(this, QRect(0, ClientHeight - PanelHeight, ClientWidth, PanelHeight));
    const ButtonColors blue{QColor(0x39, 0x66, 0xA8), QColor(0x00, 0x00, 0x93),
                            QColor(0x71, 0x95, 0xCE), QColor(0xEC, 0xF1, 0xF9), Qt::black};
    lbButton1_ = new ColorButton(QStringLiteral("&Renunt"), bottom);
    lbButton1_->setObjectName(QStringLiteral("LbButton1"));
    lbButton1_->setGeometry(16, 8, 100, 23);
    lbButton2_ = new ColorButton(QStringLiteral("&Am ales"), bottom);
    lbButton2_->setObjectName(QStringLiteral("LbButton2"));
    lbButton2_->setGeometry(ClientWidth - 100 - 17, 8, 100, 23);  // 232: at the right edge
    for (ColorButton* b : {lbButton1_, lbButton2_}) {
        b->SetColors(blue);
        b->SetFading(true);
    }
    connect(lbButton1_, &QPushButton::clicked, this, &QDialog::reject);
    connect(lbButton2_, &QPushButton::clicked, this, &TSelect2Col::LbButton2Click);
    balloon_ = new BalloonHint(this);

    // Esc must close the dialog from any control, even one that would keep the key.
    for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
}

std::optional<std::pair<QString, QString>> TSelect2Col::Choose(const QStringList& names) {
    QStringList sorted = names;
    sorted.sort();
    for (QComboBox* list : {col1_, col2_}) {
        list->clear();
        list->addItems(sorted);
        list->setCurrentIndex(-1);
    }
    col1_->setFocus();
    if (exec() != QDialog::Accepted) return std::nullopt;
    return std::make_pair(col1_->currentText(), col2_->currentText());
}

void TSelect2Col::LbButton2Click() {
    if (col1_->currentText().isEmpty()) {
        balloon_->Show(col1_, QStringLiteral("Nu ati ales nimic!"));
    } else if (col2_->currentText().isEmpty()) {
        balloon_->Show(col2_, QStringLiteral("Nu ati ales nimic!"));
    } else if (col1_->currentText() == col2_->currentText()) {
        balloon_->Show(col2_, QStringLiteral("Alegeti doua coloane diferite!"));
    } else {
        balloon_->hide();
        accept();
    }
}

bool TSelect2Col::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        reject();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TSelect2Col::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

}  // namespace orbelan
