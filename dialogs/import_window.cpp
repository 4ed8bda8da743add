#include "dialogs/import_window.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <tuple>

#include "core/argument_error.h"
#include "dialogs/field_grid.h"
#include "dialogs/new_table_choice.h"
#include "engine/codepage.h"
#include "engine/errors.h"
#include "engine/field_list.h"
#include "engine/value_convert.h"
#include "qtcommon/qt_text.h"

namespace orbelan {
namespace {

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

    auto* split = new QSplitter(Qt::Vertical, this);
    fields_ = new FieldGrid(split);
    fields_->setObjectName(QStringLiteral("Campuri"));
    // One row per source column, headed by the column's title.
    fields_->verticalHeader()->setVisible(true);
    connect(fields_, &FieldGrid::FieldsChanged, this, [this] {
        if (!filling_) ShowRows();
    });
    rows_ = new QTableWidget(split);
    rows_->setObjectName(QStringLiteral("Linii"));
    rows_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    rows_->setSelectionBehavior(QAbstractItemView::SelectColumns);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 2);
    layout->addWidget(split, 1);
    // A field and its column of values follow each other: the field being edited shows its
    // values, a column clicked shows its field.
    connect(fields_, &QTableWidget::currentCellChanged, this,
            [this](int row) { FollowField(row); });
    connect(rows_, &QTableWidget::currentCellChanged, this, [this](int, int column) {
        if (column >= 0 && column != fields_->currentRow())
            fields_->setCurrentCell(column, FieldGrid::ColName);
    });

    auto* bottom = new QHBoxLayout;
    format_ = NewTableFormatBox(this);
    codePage_ = NewTableCodePageBox(this);
    connect(codePage_, &QComboBox::activated, this, [this] { ShowRows(); });
    connect(format_, &QComboBox::activated, this, [this] {
        fields_->SetFamily(Format().family);
        ShowRows();
    });
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
        // The field at fault gets the balloon with the reason.
        if (!fields_->Check()) return;
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
    QString info = QStringLiteral("%1 linii").arg(preview_.rows);
    if (source_->damagedBytes > 0)
        info += QStringLiteral("; %1 octeti care nu sunt UTF-8 (primul pe linia %2)")
                    .arg(source_->damagedBytes)
                    .arg(source_->firstDamagedLine);
    info_->setText(info);

    std::vector<FieldDef> fields;
    for (const ColumnField& c : preview_.columns) fields.push_back(c.field);
    fields_->SetFamily(Format().family);
    fields_->SetFields(fields);
    QStringList titles;
    for (const std::string& h : preview_.header) titles << Q(h);
    while (titles.size() < static_cast<int>(fields.size())) titles << QString();
    fields_->setVerticalHeaderLabels(titles);  // each field's column as the source names it
    filling_ = false;
    ShowRows();
}

std::vector<ColumnField> TImportWindow::Columns() const {
    std::vector<ColumnField> columns = preview_.columns;
    std::vector<FieldDef> fields = fields_->Fields();
    for (FieldDef& f : fields) f.name = S(Q(f.name).toUpper());
    if (const FieldProblem p = CheckFieldList(fields, fields_->Family()))
        throw ArgumentError(p.text);
    for (size_t c = 0; c < columns.size() && c < fields.size(); ++c) columns[c].field = fields[c];
    return columns;
}

NewTableFormat TImportWindow::Format() const {
    NewTableFormat format;
    format.family = ChosenFamily(format_);
    format.codePage = S(codePage_->currentText());
    return format;
}

void TImportWindow::FollowField(int field) {
    if (field < 0 || field >= rows_->columnCount()) return;
    rows_->selectColumn(field);
    if (rows_->rowCount() > 0) rows_->scrollToItem(rows_->item(0, field));
}

// The first rows as they will be stored; a value its field won't take is marked, with why.
void TImportWindow::ShowRows() {
    // A field being corrected shows its column as proposed; the others as they are now.
    std::vector<ColumnField> columns = preview_.columns;
    const std::vector<FieldDef> typed = fields_->Fields();
    for (size_t c = 0; c < columns.size() && c < typed.size(); ++c)
        if (!CheckField(typed[c], fields_->Family())) columns[c].field = typed[c];
    rows_->clear();
    rows_->setColumnCount(static_cast<int>(columns.size()));
    rows_->setRowCount(static_cast<int>(preview_.firstRows.size()));
    QStringList titles;
    for (const ColumnField& c : columns) titles << Q(c.field.name);
    rows_->setHorizontalHeaderLabels(titles);
    const auto page = CodePage::Get(S(codePage_->currentText()));
    FieldValueText value;
    FormatSettings canonical;
    canonical.decimalSeparator = '.';
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
            if (fits && !value.isDay && !value.empty && col.field.type != 'C') {
                // A number as its field rounds it, or refused when it has too many digits.
                Converted stored = ConvertText(value.text, col.field, *page, canonical);
                fits = stored.Ok();
                why = stored.reason;
                value.text = std::move(stored.text);
            } else if (fits && !value.isDay) {
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
    for (int c = 0; c < rows_->columnCount(); ++c) {
        rows_->resizeColumnToContents(c);
        rows_->setColumnWidth(c, std::max(rows_->columnWidth(c), 90));
    }
    FollowField(fields_->currentRow());
}

bool AskImportAnyway(QWidget* parent, const Misfits& misfits) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Import"),
                    QStringLiteral("%1 valori nu incap in campurile lor. Importati oricum, cu "
                                   "celulele acestea goale?")
                        .arg(misfits.count),
                    QMessageBox::NoButton, parent);
    box.setObjectName(QStringLiteral("ValoriCareNuIncap"));
    const std::string text = std::string(kImportNumbering) + "\n" + misfits.Text();
    box.setDetailedText(Q(text));
    box.setInformativeText(Q(text.substr(0, text.find('\n', 600))));
    QPushButton* cancel = box.addButton(QStringLiteral("Renunt"), QMessageBox::RejectRole);
    QPushButton* anyway = box.addButton(QStringLiteral("Importa oricum"), QMessageBox::AcceptRole);
    box.setDefaultButton(cancel);
    box.exec();
    return box.clickedButton() == anyway;
}

int AskWhichColumn(QWidget* parent, const std::string& field,
                   const std::vector<std::string>& columns) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Lipire tabele"),
                    QStringLiteral("Mai multe coloane din sursa merg in campul %1. Pe care o "
                                   "adaug?")
                        .arg(Q(field)),
                    QMessageBox::NoButton, parent);
    box.setObjectName(QStringLiteral("AlegeColoana"));
    std::vector<QPushButton*> buttons;
    for (const std::string& c : columns)
        buttons.push_back(box.addButton(Q(c).replace(QLatin1Char('&'), QStringLiteral("&&")),
                                        QMessageBox::AcceptRole));
    QPushButton* cancel = box.addButton(QStringLiteral("Renunt"), QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    for (size_t i = 0; i < buttons.size(); ++i)
        if (box.clickedButton() == buttons[i]) return static_cast<int>(i);
    return -1;
}

}  // namespace orbelan
