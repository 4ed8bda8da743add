#include "dialogs/column_chooser.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include "dialogs/kind_icons.h"

namespace orbelan {

namespace {

constexpr int ClientWidth = 300;
constexpr int ClientHeight = 191;
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

}  // namespace

TForm2::TForm2(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Alege coloana"));
    setFixedSize(ClientWidth, ClientHeight);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));

    QWidget* top = WhitePanel(this, QRect(0, 0, ClientWidth, PanelHeight));
    auto* icon = new QLabel(top);
    icon->setGeometry(4, 4, 41, 41);
    icon->setPixmap(DrawColumnIcon(41));
    QLabel* heading = Caption(QStringLiteral("Alegeti coloana"), top, 48, 12);
    QFont headingFont = font();
    headingFont.setPointSize(10);
    headingFont.setBold(true);
    heading->setFont(headingFont);
    heading->adjustSize();

    Caption(QStringLiteral("Numele coloanei"), this, 16, 56);
    coloana_ = new QComboBox(this);
    coloana_->setObjectName(QStringLiteral("Coloana"));
    coloana_->setEditable(false);
    coloana_->setCursor(Qt::PointingHandCursor);
    coloana_->setGeometry(16, 72, 265, coloana_->sizeHint().height());

    valoareP_ = new QWidget(this);
    valoareP_->setObjectName(QStringLiteral("ValoareP"));
    valoareP_->setGeometry(16, 104, 265, 33);
    Caption(QStringLiteral("Valoarea"), valoareP_, 8, 8);
    valoareE_ = new QLineEdit(valoareP_);
    valoareE_->setObjectName(QStringLiteral("ValoareE"));
    valoareE_->setGeometry(64, 4, 193, valoareE_->sizeHint().height());
    valoareP_->hide();

    QWidget* bottom =
        WhitePanel(this, QRect(0, ClientHeight - PanelHeight, ClientWidth, PanelHeight));
    const ButtonColors blue{QColor(0x39, 0x66, 0xA8), QColor(0x00, 0x00, 0x93),
                            QColor(0x71, 0x95, 0xCE), QColor(0xEC, 0xF1, 0xF9), Qt::black};
    lbButton1_ = new ColorButton(QStringLiteral("&Renunt"), bottom);
    lbButton1_->setObjectName(QStringLiteral("LbButton1"));
    lbButton1_->setGeometry(16, 8, 100, 23);
    lbButton2_ = new ColorButton(QStringLiteral("&Am ales"), bottom);
    lbButton2_->setObjectName(QStringLiteral("LbButton2"));
    lbButton2_->setGeometry(184, 8, 100, 23);
    for (ColorButton* b : {lbButton1_, lbButton2_}) {
        b->SetColors(blue);
        b->SetFading(true);
    }
    connect(lbButton1_, &QPushButton::clicked, this, &QDialog::reject);
    connect(lbButton2_, &QPushButton::clicked, this, [this] {
        chosen_ = true;
        accept();
    });

    // Esc must close the dialog from any control, even one that would keep the key.
    for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
}

bool TForm2::Choose(const QString& caption) {
    chosen_ = false;
    setWindowTitle(caption);
    coloana_->setFocus();
    exec();
    return chosen_;
}

QString TForm2::ChosenColumn() const {
    return coloana_->currentText();
}

QString TForm2::Value() const {
    return valoareE_->text();
}

void TForm2::SetValuePanelVisible(bool visible) {
    valoareP_->setVisible(visible);
}

bool TForm2::ValuePanelVisible() const {
    return !valoareP_->isHidden();
}

void TForm2::SetColumns(const QStringList& names) {
    coloana_->clear();
    coloana_->addItems(names);
    if (!names.isEmpty()) coloana_->setCurrentIndex(0);
}

QStringList TForm2::Columns() const {
    QStringList names;
    for (int i = 0; i < coloana_->count(); ++i) names << coloana_->itemText(i);
    return names;
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        reject();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TForm2::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

}  // namespace orbelan
