#include "dialogs/import_window.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <tuple>

#include "app/qt_text.h"
#include "core/argument_error.h"
#include "engine/codepage.h"
#include "engine/errors.h"

namespace orbelan {
namespace {

constexpr int kNameRow = 0, kTypeRow = 1, kWidthRow = 2, kDecimalsRow = 3;
const char* const kTypes[] = {"C", "N", "D", "L", "M"};

QComboBox* Choice(QWidget* parent, const QString& name,
                  const std::vector<std::pair<QString, QString>>& items) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    for (const auto& [text, data] : items) box->addItem(text, data);
    return box;
}

}  // namespace

TImportWindow::TImportWindow(const QString& sourceName, Loader load, QWidget* parent)
    : QDialog(parent), load_(std::move(load)) {
    setObjectName(QStringLiteral("ImportWindow"));
    setWindowTitle(QStringLiteral("Import: ") + sourceName);
    resize(900, 600);
    auto* layout = new QVBoxLayout(this);

    auto* sourceRow = new QHBoxLayout;
    info_ = new QLabel(this);
    sourceRow->addWidget(info_);
    delimiter_ = Choice(this, QStringLiteral("Delimitator"),
                        {{QStringLiteral("virgula ( , )"), QStringLiteral(",")},
                         {QStringLiteral("punct si virgula ( ; )"), QStringLiteral(";")},
                         {QStringLiteral("tab"), QStringLiteral("\t")}});
    encoding_ = Choice(this, QStringLiteral("Codificare"),
                       {{QStringLiteral("UTF-8"), QStringLiteral("utf-8")},
                        {QStringLiteral("Windows-1250"), QStringLiteral("cp1250")},
                        {QStringLiteral("DOS 852"), QStringLiteral("cp852")},
                        {QStringLiteral("ISO-8859-2"), QStringLiteral("iso-8859-2")}});
    sheet_ = Choice(this, QStringLiteral("Foaia"), {});
    csvBox_ = new QWidget(this);
    sheetBox_ = new QWidget(this);
    auto* csvRow = new QHBoxLayout(csvBox_);
    auto* sheetRow = new QHBoxLayout(sheetBox_);
    for (auto [caption, box, row] :
         {std::tuple{QStringLiteral("&Delimitator:"), delimiter_, csvRow},
          std::tuple{QStringLiteral("&Codificare:"), encoding_, csvRow},
          std::tuple{QStringLiteral("&Foaia:"), sheet_, sheetRow}}) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(box);
        row->addWidget(label);
        row->addWidget(box);
        connect(box, &QComboBox::activated, this, [this] { Reload(); });
    }
    sourceRow->addWidget(csvBox_);
    sourceRow->addWidget(sheetBox_);
    sourceRow->addStretch();
    layout->addLayout(sourceRow);

    fields_ = new QTableWidget(4, 0, this);
    fields_->setObjectName(QStringLiteral("Campuri"));
    fields_->setVerticalHeaderLabels({QStringLiteral("Nume"), QStringLiteral("Tip"),
                                      QStringLiteral("Lungime"), QStringLiteral("Zecimale")});
    fields_->setMaximumHeight(fields_->verticalHeader()->length() +
                              fields_->horizontalHeader()->height() + 24);
    connect(fields_, &QTableWidget::cellChanged, this, [this] {
        if (!filling_) ShowRows();
    });
    layout->addWidget(fields_);

    rows_ = new QTableWidget(this);
    rows_->setObjectName(QStringLiteral("Linii"));
    rows_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(rows_, 1);
    // The two grids scroll together, a field above its column.
    connect(rows_->horizontalScrollBar(), &QScrollBar::valueChanged, fields_->horizontalScrollBar(),
            &QScrollBar::setValue);
    connect(fields_->horizontalScrollBar(), &QScrollBar::valueChanged, rows_->horizontalScrollBar(),
            &QScrollBar::setValue);

    auto* bottom = new QHBoxLayout;
    format_ = Choice(this, QStringLiteral("Format"),
                     {{QStringLiteral("dBase III"), QStringLiteral("dbase3")},
                      {QStringLiteral("dBase IV"), QStringLiteral("dbase4")},
                      {QStringLiteral("FoxPro"), QStringLiteral("foxpro")},
                      {QStringLiteral("Visual FoxPro"), QStringLiteral("vfp")}});
    codePage_ = Choice(this, QStringLiteral("CodPagina"),
                       {{QStringLiteral("Windows-1250"), QStringLiteral("cp1250")},
                        {QStringLiteral("DOS 852"), QStringLiteral("cp852")},
                        {QStringLiteral("Windows-1252"), QStringLiteral("cp1252")},
                        {QStringLiteral("DOS 437"), QStringLiteral("cp437")}});
    connect(codePage_, &QComboBox::activated, this, [this] { ShowRows(); });
    bottom->addWidget(new QLabel(QStringLiteral("Format:"), this));
    bottom->addWidget(format_);
    bottom->addWidget(new QLabel(QStringLiteral("Cod de pagina:"), this));
    bottom->addWidget(codePage_);
    bottom->addStretch();
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("&Importa"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("Importa"));
    buttons->addButton(QStringLiteral("Renunt"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("Renunt"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        try {
            Columns();
            accept();
        } catch (const ArgumentError& e) {
            QMessageBox::warning(this, windowTitle(), Q(e.what()));
        }
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    bottom->addWidget(buttons);
    layout->addLayout(bottom);
}

TImportWindow::~TImportWindow() = default;

bool TImportWindow::Load(std::string& error) {
    try {
        source_ = load_(options_, preview_);
    } catch (const DbfError& e) {
        error = e.what();
        return false;
    }
    ShowSource();
    return true;
}

void TImportWindow::Reload() {
    if (filling_) return;
    SourceOptions options = options_;
    if (source_ && source_->kind == SourceKind::Csv) {
        options.delimiter = S(delimiter_->currentData().toString()).front();
        options.encoding = S(encoding_->currentData().toString());
    } else {
        options.sheet = std::to_string(sheet_->currentIndex() + 1);
    }
    ImportPreview preview;
    try {
        auto source = load_(options, preview);
        source_ = std::move(source);
        preview_ = std::move(preview);
        options_ = options;
    } catch (const DbfError& e) {
        QMessageBox::warning(this, windowTitle(), Q(e.what()));
    }
    ShowSource();
}

void TImportWindow::ShowSource() {
    filling_ = true;
    const bool csv = source_->kind == SourceKind::Csv;
    csvBox_->setVisible(csv);
    sheetBox_->setVisible(!csv);
    if (csv) {
        delimiter_->setCurrentIndex(delimiter_->findData(QString(QLatin1Char(source_->delimiter))));
        encoding_->setCurrentIndex(encoding_->findData(Q(source_->encoding)));
    } else {
        sheet_->clear();
        for (const std::string& s : source_->sheetNames) sheet_->addItem(Q(s));
        sheet_->setCurrentIndex(source_->sheetIndex);
    }
    info_->setText(QStringLiteral("%1 linii").arg(preview_.rows));

    const int n = static_cast<int>(preview_.columns.size());
    fields_->setColumnCount(n);
    QStringList titles;
    for (const std::string& h : preview_.header) titles << Q(h);
    while (titles.size() < n) titles << QString();
    fields_->setHorizontalHeaderLabels(titles);
    for (int c = 0; c < n; ++c) {
        const FieldDef& f = preview_.columns[static_cast<size_t>(c)].field;
        fields_->setItem(kNameRow, c, new QTableWidgetItem(Q(f.name)));
        auto* type = new QComboBox(fields_);
        for (const char* t : kTypes) type->addItem(QLatin1String(t));
        type->setCurrentText(QString(QLatin1Char(f.type)));
        connect(type, &QComboBox::currentTextChanged, this, [this] {
            if (!filling_) ShowRows();
        });
        fields_->setCellWidget(kTypeRow, c, type);
        fields_->setItem(kWidthRow, c, new QTableWidgetItem(QString::number(f.size)));
        fields_->setItem(kDecimalsRow, c, new QTableWidgetItem(QString::number(f.decimals)));
    }
    filling_ = false;
    ShowRows();
}

std::vector<ColumnField> TImportWindow::Columns() const {
    std::vector<ColumnField> columns = preview_.columns;
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
        FieldDef& f = columns[static_cast<size_t>(c)].field;
        const QTableWidgetItem* name = fields_->item(kNameRow, c);
        const auto* type = qobject_cast<QComboBox*>(fields_->cellWidget(kTypeRow, c));
        f.name = S(name ? name->text().trimmed().toUpper() : QString());
        if (f.name.empty() || f.name.size() > 10)
            throw ArgumentError("Numele campului din coloana " + std::to_string(c + 1) +
                                " trebuie sa aiba intre 1 si 10 caractere.");
        f.type = type ? S(type->currentText()).front() : 'C';
        bool okW = false, okD = false;
        const int width = fields_->item(kWidthRow, c)->text().toInt(&okW);
        const int decimals = fields_->item(kDecimalsRow, c)->text().toInt(&okD);
        if (f.type == 'C' || f.type == 'N') {
            const int max = f.type == 'C' ? 254 : 20;
            if (!okW || width < 1 || width > max || !okD || decimals < 0 ||
                (f.type == 'N' && decimals > 0 && decimals >= width - 1))
                throw ArgumentError("Campul " + f.name + ": lungimea (1.." + std::to_string(max) +
                                    ") sau zecimalele nu sunt bune.");
            f.size = width;
            f.decimals = f.type == 'N' ? decimals : 0;
        } else {
            f.size = f.type == 'D' ? 8 : f.type == 'L' ? 1 : 10;
            f.decimals = 0;
        }
    }
    return columns;
}

NewTableFormat TImportWindow::Format() const {
    NewTableFormat format;
    TableVersionOf(S(format_->currentData().toString()), format.version);
    format.codePage = S(codePage_->currentData().toString());
    return format;
}

// The first rows as they will be stored; a value its field won't take is marked, with why.
void TImportWindow::ShowRows() {
    std::vector<ColumnField> columns;
    try {
        columns = Columns();
    } catch (const ArgumentError&) {
        columns = preview_.columns;
    }
    rows_->clear();
    rows_->setColumnCount(static_cast<int>(columns.size()));
    rows_->setRowCount(static_cast<int>(preview_.firstRows.size()));
    QStringList titles;
    for (const ColumnField& c : columns) titles << Q(c.field.name);
    rows_->setHorizontalHeaderLabels(titles);
    const auto page = CodePage::Get(S(codePage_->currentData().toString()));
    FieldValueText value;
    for (int r = 0; r < rows_->rowCount(); ++r) {
        const auto& row = preview_.firstRows[static_cast<size_t>(r)];
        for (int c = 0; c < rows_->columnCount(); ++c) {
            const ColumnField& col = columns[static_cast<size_t>(c)];
            const Cell& cell = static_cast<size_t>(col.column) < row.size()
                                   ? row[static_cast<size_t>(col.column)]
                                   : Cell{};
            std::string why;
            auto* item = new QTableWidgetItem;
            bool fits = ReadCellFor(cell, col, value, why);
            if (fits && !value.isDay) {
                try {
                    page->Encode(value.text);
                } catch (const DbfError& e) {
                    fits = false;
                    why = e.what();
                }
            }
            if (!fits) {
                item->setText(Q(CellText(cell)));
                item->setForeground(Qt::red);
                item->setToolTip(Q(why));
            } else if (value.isDay) {
                item->setText(Q(CellText(Cell{CellKind::Date, {}, value.day, 0})));
            } else if (col.field.type == 'C' && Q(value.text).size() > col.field.size) {
                item->setText(Q(value.text));
                item->setForeground(Qt::red);
                item->setToolTip(QStringLiteral("nu incape in %1 caractere").arg(col.field.size));
            } else {
                item->setText(Q(col.field.type == 'L' ? (value.text == "T" ? "DA"
                                                         : value.empty     ? ""
                                                                           : "NU")
                                                      : value.text));
            }
            rows_->setItem(r, c, item);
        }
    }
    // The same header width on both grids keeps each field above its column.
    const int header = std::max(fields_->verticalHeader()->sizeHint().width(),
                                rows_->verticalHeader()->sizeHint().width());
    fields_->verticalHeader()->setFixedWidth(header);
    rows_->verticalHeader()->setFixedWidth(header);
    for (int c = 0; c < rows_->columnCount(); ++c) {
        rows_->resizeColumnToContents(c);
        const int w = std::max(rows_->columnWidth(c), 90);
        rows_->setColumnWidth(c, w);
        fields_->setColumnWidth(c, w);
    }
}

bool AskImportAnyway(QWidget* parent, const Misfits& misfits) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Import"),
                    QStringLiteral("%1 valori nu incap in campurile lor. Importati oricum, cu "
                                   "celulele acestea goale?")
                        .arg(misfits.count),
                    QMessageBox::NoButton, parent);
    box.setObjectName(QStringLiteral("ValoriCareNuIncap"));
    box.setDetailedText(Q(misfits.Text()));
    box.setInformativeText(Q(misfits.Text().substr(0, misfits.Text().find('\n', 600))));
    QPushButton* cancel = box.addButton(QStringLiteral("Renunt"), QMessageBox::RejectRole);
    QPushButton* anyway = box.addButton(QStringLiteral("Importa oricum"), QMessageBox::AcceptRole);
    box.setDefaultButton(cancel);
    box.exec();
    return box.clickedButton() == anyway;
}

}  // namespace orbelan
