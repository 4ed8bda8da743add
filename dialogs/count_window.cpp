#include "dialogs/count_window.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include "cleaning/profile_chart_data.h"
#include "core/text_util.h"
#include "dialogs/chart_view.h"
#include "engine/table.h"
#include "qtcommon/qt_text.h"

namespace orbelan {
namespace {

bool Numeric(char type) {
    return type == 'N' || type == 'F' || type == 'I' || type == 'B' || type == 'Y' || type == 'O' ||
           type == '+';
}

}  // namespace

TCountWindow::TCountWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CountWindow"));
    setWindowTitle(QStringLiteral("Numara pe valori"));
    resize(1060, 680);

    col1_ = new QComboBox(this);
    col1_->setObjectName(QStringLiteral("FirstColumn"));
    col2_ = new QComboBox(this);
    col2_->setObjectName(QStringLiteral("SecondColumn"));
    sum_ = new QComboBox(this);
    sum_->setObjectName(QStringLiteral("SumColumn"));
    byCount_ = new QRadioButton(QStringLiteral("dupa &numar"), this);
    byCount_->setChecked(true);
    byValue_ = new QRadioButton(QStringLiteral("dupa &valoare (alfabetic)"), this);
    byValue_->setObjectName(QStringLiteral("ByValue"));
    countButton_ = new QPushButton(QStringLiteral("Nu&mara"), this);
    countButton_->setObjectName(QStringLiteral("CountButton"));
    countButton_->setDefault(true);
    connect(countButton_, &QPushButton::clicked, this, &TCountWindow::Run);

    auto* order = new QHBoxLayout;
    order->addWidget(byCount_);
    order->addWidget(byValue_);
    order->addStretch(1);
    order->addWidget(countButton_);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Grupeaza dupa:"), col1_);
    form->addRow(QStringLiteral("si &dupa:"), col2_);
    form->addRow(QStringLiteral("&Aduna coloana:"), sum_);
    form->addRow(QStringLiteral("Ordonat:"), order);

    note_ = new QLabel(this);
    note_->setWordWrap(true);
    results_ = new QTableWidget(this);
    results_->setObjectName(QStringLiteral("Results"));
    results_->verticalHeader()->hide();
    results_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    results_->setSelectionBehavior(QAbstractItemView::SelectRows);
    results_->setToolTip(QStringLiteral("Dublu clic pe o linie: tabelul arata numai liniile ei"));
    connect(results_, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { Pick(static_cast<size_t>(row)); });
    chart_ = new TChartView;
    chart_->setObjectName(QStringLiteral("Chart"));
    chart_->setToolTip(QStringLiteral("Clic pe o bara: tabelul arata numai liniile ei"));
    connect(chart_, &TChartView::barClicked, this,
            [this](int bar, bool) { Pick(static_cast<size_t>(bar)); });
    auto* scroll = new QScrollArea;
    scroll->setWidget(chart_);
    scroll->setWidgetResizable(true);
    auto* split = new QSplitter(this);
    split->addWidget(results_);
    split->addWidget(scroll);
    split->setStretchFactor(1, 2);

    exportButton_ = new QPushButton(QStringLiteral("&Exporta tabelul..."), this);
    exportButton_->setObjectName(QStringLiteral("ExportCounts"));
    connect(exportButton_, &QPushButton::clicked, this, [this] {
        if (counts_ && export_) export_(*counts_);
    });
    save_ = new QPushButton(QStringLiteral("&Salveaza graficul..."), this);
    connect(save_, &QPushButton::clicked, this, [this] { chart_->SaveAs(this); });
    print_ = new QPushButton(QStringLiteral("&Tipareste graficul..."), this);
    connect(print_, &QPushButton::clicked, this, [this] { chart_->Print(this); });
    auto* close = new QPushButton(QStringLiteral("&Inchide"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {exportButton_, save_, print_, close}) buttons->addWidget(b);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note_);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);
}

std::optional<std::string> TCountWindow::Choose(const Table& table, int field, Count count,
                                                Export exportCounts) {
    table_ = &table;
    count_ = std::move(count);
    export_ = std::move(exportCounts);
    counts_.reset();
    chosen_.reset();
    col1_->clear();
    col2_->clear();
    sum_->clear();
    col2_->addItem(QStringLiteral("(niciuna)"), -1);
    sum_->addItem(QStringLiteral("(niciuna)"), -1);
    for (int i = 0; i < table.FieldCount(); ++i) {
        const FieldDef& f = table.Field(i);
        if (f.IsMemo()) continue;
        col1_->addItem(Q(f.name), i);
        col2_->addItem(Q(f.name), i);
        if (Numeric(f.type)) sum_->addItem(Q(f.name), i);
    }
    col1_->setCurrentIndex(std::max(0, col1_->findData(field)));
    results_->clear();
    results_->setRowCount(0);
    results_->setColumnCount(0);
    chart_->SetChart({});
    note_->clear();
    for (QPushButton* b : {exportButton_, save_, print_}) b->setEnabled(false);
    Run();
    exec();
    return chosen_;
}

void TCountWindow::Run() {
    std::vector<int> fields{col1_->currentData().toInt()};
    if (col2_->currentData().toInt() >= 0 && col2_->currentData().toInt() != fields[0])
        fields.push_back(col2_->currentData().toInt());
    const int sum = sum_->currentData().toInt();
    auto counts =
        count_(fields, sum, byValue_->isChecked() ? CountOrder::ByValue : CountOrder::ByCount);
    if (!counts) return;
    fields_ = fields;
    counts_ = std::move(counts);
    const GroupCounts& g = *counts_;
    QStringList heads;
    for (const std::string& c : g.columns) heads << Q(c);
    heads << QStringLiteral("Numar");
    if (!g.sumColumn.empty()) heads << QStringLiteral("Suma %1").arg(Q(g.sumColumn));
    results_->clear();
    results_->setColumnCount(static_cast<int>(heads.size()));
    results_->setHorizontalHeaderLabels(heads);
    const int shown = static_cast<int>(std::min<size_t>(g.groups.size(), kShownRows));
    results_->setRowCount(shown);
    const char sep = table_->Format().decimalSeparator;
    for (int r = 0; r < shown; ++r) {
        const GroupCount& row = g.groups[static_cast<size_t>(r)];
        int c = 0;
        for (const std::string& k : row.keys)
            results_->setItem(r, c++,
                              new QTableWidgetItem(k.empty() ? QStringLiteral("(gol)") : Q(k)));
        auto* n = new QTableWidgetItem(Q(GroupedThousands(row.count)));
        n->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        results_->setItem(r, c++, n);
        if (!g.sumColumn.empty()) {
            auto* s = new QTableWidgetItem(QString::number(row.sum, 'f', g.sumDecimals)
                                               .replace(QLatin1Char('.'), QLatin1Char(sep)));
            s->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            results_->setItem(r, c, s);
        }
    }
    results_->resizeColumnsToContents();
    QString note = QStringLiteral("%1 linii afisate, %2 grupuri.")
                       .arg(Q(GroupedThousands(g.rows)),
                            Q(GroupedThousands(static_cast<long long>(g.groups.size()))));
    if (static_cast<int>(g.groups.size()) > shown)
        note += QStringLiteral(" Lista arata primele %1; exportul le scrie pe toate.")
                    .arg(Q(GroupedThousands(shown)));
    if (g.approximate)
        note += QStringLiteral(" Peste 1.000.000 de valori distincte: numerele sunt aproximative.");
    note_->setText(note);
    chart_->SetChart(ChartOfCounts(g));
    for (QPushButton* b : {exportButton_, save_, print_}) b->setEnabled(true);
}

void TCountWindow::Pick(size_t group) {
    if (!counts_ || group >= counts_->groups.size()) return;
    const GroupCount& g = counts_->groups[group];
    std::string condition;
    for (size_t i = 0; i < fields_.size(); ++i) {
        const std::string one = ValueCondition(*table_, fields_[i], g.keys[i]);
        condition += condition.empty() ? one : " AND " + one;
    }
    // ValueCondition of a starred text is already two comparisons joined by AND: still one
    // conjunction, so no parentheses are needed.
    chosen_ = WithinFilter(*table_, condition);
    accept();
}

}  // namespace orbelan
