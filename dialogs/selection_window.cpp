#include "dialogs/selection_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>

#include "export/export_types.h"
#include "qtcommon/qt_text.h"

namespace orbelan {
namespace {

// The eight pictures of the icon box: a sheet of paper marked with the format.
QPixmap FormatPicture(int number) {
    static const char* const kMarks[] = {"RTF", "CSV", "HTM", "TXT", "DOC", "XLS", "TAB", "CLP"};
    static const QColor kColors[] = {QColor(0x80, 0x00, 0x80), QColor(0x00, 0x80, 0x00),
                                     QColor(0xC0, 0x60, 0x00), QColor(0x40, 0x40, 0x40),
                                     QColor(0x00, 0x40, 0xC0), QColor(0x00, 0x80, 0x40),
                                     QColor(0x60, 0x60, 0x20), QColor(0x80, 0x20, 0x20)};
    QPixmap picture(31, 31);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(4, 1, 22, 28);
    p.fillRect(5, 17, 21, 12, kColors[number]);
    QFont font = p.font();
    font.setPixelSize(8);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(4, 17, 23, 12), Qt::AlignCenter, QLatin1String(kMarks[number]));
    p.setPen(QColor(0x90, 0x90, 0x90));
    for (int y = 5; y < 16; y += 3) p.drawLine(8, y, 22, y);
    return picture;
}

}  // namespace

Tfrm_Selection::Tfrm_Selection(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frm_Selection"));
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setFixedSize(322, 145);

    btn_Selection = new QPushButton(this);
    btn_Selection->setObjectName(QStringLiteral("btn_Selection"));
    btn_Selection->setGeometry(240, 8, 75, 25);
    btn_Selection->setDefault(true);
    connect(btn_Selection, &QPushButton::clicked, this, &QDialog::accept);
    btn_Cancel = new QPushButton(this);
    btn_Cancel->setObjectName(QStringLiteral("btn_Cancel"));
    btn_Cancel->setGeometry(240, 40, 75, 25);
    connect(btn_Cancel, &QPushButton::clicked, this, &QDialog::reject);

    GroupBox = new QGroupBox(this);
    GroupBox->setObjectName(QStringLiteral("GroupBox"));
    GroupBox->setGeometry(8, 8, 225, 113);
    SelectionCombo = new QComboBox(GroupBox);
    SelectionCombo->setObjectName(QStringLiteral("SelectionCombo"));
    SelectionCombo->setGeometry(8, 24, 209, 21);
    rdo_View = new QRadioButton(GroupBox);
    rdo_View->setObjectName(QStringLiteral("rdo_View"));
    rdo_View->setGeometry(8, 60, 160, 17);  // wide enough for the caption in any font
    rdo_File = new QRadioButton(GroupBox);
    rdo_File->setObjectName(QStringLiteral("rdo_File"));
    rdo_File->setGeometry(8, 80, 160, 17);
    btn_Selection->setAccessibleName(QStringLiteral("Export"));
    btn_Cancel->setAccessibleName(QStringLiteral("Renunt"));
    rdo_View->setAccessibleName(QStringLiteral("Numai vizualizare"));
    rdo_File->setAccessibleName(QStringLiteral("Export in fisier"));
    btn_Selection->setAccessibleDescription(QStringLiteral("Exporta in formatul ales"));
    btn_Cancel->setAccessibleDescription(QStringLiteral("Inchide fereastra fara export"));
    rdo_View->setAccessibleDescription(QStringLiteral("Deschide exportul fara a-l salva"));
    rdo_File->setAccessibleDescription(QStringLiteral("Salveaza exportul intr-un fisier ales"));
    chk_Utf8 = new QCheckBox(QStringLiteral("Text in UTF-8"), this);
    chk_Utf8->setObjectName(QStringLiteral("chk_Utf8"));
    chk_Utf8->setAccessibleDescription(
        QStringLiteral("Scrie textul in UTF-8, pentru programele care nu cunosc codul de pagina"));
    chk_Utf8->setGeometry(16, 124, 217, 17);
    IconImage = new QLabel(GroupBox);
    IconImage->setObjectName(QStringLiteral("IconImage"));
    IconImage->setGeometry(176, 64, 40, 40);
    IconImage->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    connect(SelectionCombo, &QComboBox::currentIndexChanged, this,
            [this] { SelectionChanged(SelectionCombo); });
    connect(rdo_View, &QRadioButton::clicked, this, [this] { SelectionChanged(rdo_View); });
    connect(rdo_File, &QRadioButton::clicked, this, [this] { SelectionChanged(rdo_File); });
}

void Tfrm_Selection::Fill(const ExportChooserRequest& request) {
    setWindowTitle(Q(request.caption));
    btn_Selection->setText(Q(request.exportCaption));
    btn_Cancel->setText(Q(request.cancelCaption));
    GroupBox->setTitle(Q(request.selectFormat));
    type_ = request.type;
    view_ = request.view;
    types_ = request.types;
    const QSignalBlocker block(SelectionCombo);
    SelectionCombo->clear();
    for (int t : types_) {
        SelectionCombo->addItem(QLatin1String(ExportTypeText(static_cast<TovExportType>(t))));
        if (t == type_) SelectionCombo->setCurrentIndex(SelectionCombo->count() - 1);
    }
    SelectionCombo->setMaxVisibleItems(std::max(1, SelectionCombo->count()));
    // The format is chosen first: the keys go to its list (Alt+X, the group's letter, too).
    setTabOrder(SelectionCombo, rdo_View);
    setTabOrder(rdo_View, rdo_File);
    SelectionCombo->setFocus(Qt::OtherFocusReason);
    rdo_View->setText(Q(request.viewOnly));
    rdo_View->setChecked(view_);
    rdo_File->setText(Q(request.exportToFile));
    rdo_File->setChecked(!view_);
    chk_Utf8->setChecked(request.utf8);
    SelectionChanged(SelectionCombo);
}

bool Tfrm_Selection::Run(ExportChooserRequest& request) {
    Fill(request);
    if (exec() != QDialog::Accepted) return false;
    request.type = type_;
    request.view = view_;
    request.utf8 = chk_Utf8->isChecked();
    return true;
}

void Tfrm_Selection::SelectionChanged(QObject* sender) {
    if (sender == rdo_View) view_ = true;
    if (sender == rdo_File) view_ = false;
    if (sender == SelectionCombo) {
        const std::string text = SelectionCombo->currentText().toStdString();
        const bool clipboard = text == ExportTypeText(xtClipboard);
        rdo_View->setEnabled(!clipboard);
        rdo_File->setEnabled(!clipboard);
        TovExportType type;
        if (ExportTypeFromText(text, type)) type_ = type;
        // Only the text formats can be written in UTF-8.
        chk_Utf8->setEnabled(type_ == xtCSV || type_ == xtTAB || type_ == xtTXT || type_ == xtHTML);
        PaintFormatIcon();
    }
}

int Tfrm_Selection::IconNumber() const {
    return ExportTypeIcon(static_cast<TovExportType>(type_));
}

void Tfrm_Selection::PaintFormatIcon() {
    IconImage->setPixmap(FormatPicture(IconNumber()));
}

}  // namespace orbelan
