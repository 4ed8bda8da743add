#include "dialogs/profile_window.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "cleaning/profile_chart_data.h"
#include "core/text_util.h"
#include "dialogs/chart_view.h"
#include "engine/field_codec.h"
#include "engine/table.h"
#include "qtcommon/qt_text.h"

namespace orbelan {
namespace {

// The share column of the values: a bar as long as the value's share of the largest count.
class ShareBar : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, QModelIndex());
        const double share = index.data(Qt::UserRole).toDouble();
        QRectF bar = option.rect.adjusted(2, 4, -2, -4);
        bar.setWidth(bar.width() * share);
        painter->fillRect(bar, QColor(59, 110, 165));
    }
};

QTableWidget* MakeTable(const QStringList& heads, QWidget* parent) {
    auto* t = new QTableWidget(0, static_cast<int>(heads.size()), parent);
    t->setHorizontalHeaderLabels(heads);
    t->verticalHeader()->hide();
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

void SetRow(QTableWidget* t, int row, const QStringList& cells) {
    for (int c = 0; c < cells.size(); ++c) t->setItem(row, c, new QTableWidgetItem(cells[c]));
}

}  // namespace

TProfileWindow::TProfileWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ProfileWindow"));
    setWindowTitle(QStringLiteral("Profilul coloanei"));
    resize(1060, 680);

    heading_ = new QLabel(this);
    heading_->setObjectName(QStringLiteral("Heading"));
    QFont bold = heading_->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    heading_->setFont(bold);
    note_ = new QLabel(this);
    note_->setWordWrap(true);

    figures_ = MakeTable({QStringLiteral("Cifra"), QStringLiteral("Valoare")}, this);
    figures_->setObjectName(QStringLiteral("Figures"));
    figures_->setAccessibleName(QStringLiteral("Cifrele coloanei"));
    figures_->setMinimumWidth(340);
    figures_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("Tabs"));
    top_ = MakeTable(
        {QStringLiteral("Valoare"), QStringLiteral("Numar"), QStringLiteral("Procent"), QString()},
        this);
    top_->setObjectName(QStringLiteral("TopValues"));
    top_->setAccessibleName(QStringLiteral("Cele mai frecvente valori; dublu clic filtreaza"));
    top_->setToolTip(QStringLiteral("Dublu clic pe o valoare: tabelul arata numai liniile ei"));
    top_->setItemDelegateForColumn(3, new ShareBar(top_));
    top_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    top_->horizontalHeader()->setStretchLastSection(false);
    top_->setColumnWidth(3, 160);
    connect(top_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (row < 0 || static_cast<size_t>(row) >= profile_.top.size()) return;
        Pick(ValueCondition(*table_, field_, profile_.top[static_cast<size_t>(row)].text));
    });

    cnp_ = new QCheckBox(QStringLiteral("Coloana contine &CNP-uri"), this);
    cnp_->setObjectName(QStringLiteral("MarkCnp"));
    connect(cnp_, &QCheckBox::toggled, this, [this](bool on) {
        if (!profileAgain_ || on == profile_.cnp.has_value()) return;
        if (auto again = profileAgain_(on)) {
            profile_ = std::move(*again);
            Fill();
        }
    });
    invalid_ = new QPushButton(QStringLiteral("Numai CNP &invalide"), this);
    invalid_->setObjectName(QStringLiteral("OnlyInvalidCnp"));
    connect(invalid_, &QPushButton::clicked, this,
            [this] { Pick(CnpInvalidCondition(profile_.column)); });
    save_ = new QPushButton(QStringLiteral("&Salveaza graficul..."), this);
    save_->setObjectName(QStringLiteral("SaveChart"));
    connect(save_, &QPushButton::clicked, this, [this] {
        if (TChartView* chart = ShownChart()) chart->SaveAs(this);
    });
    print_ = new QPushButton(QStringLiteral("&Tipareste graficul..."), this);
    print_->setObjectName(QStringLiteral("PrintChart"));
    connect(print_, &QPushButton::clicked, this, [this] {
        if (TChartView* chart = ShownChart()) chart->Print(this);
    });
    auto* close = new QPushButton(QStringLiteral("&Inchide"), this);
    close->setObjectName(QStringLiteral("Close"));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(tabs_, &QTabWidget::currentChanged, this, [this] {
        save_->setEnabled(ShownChart() != nullptr);
        print_->setEnabled(ShownChart() != nullptr);
    });

    auto* body = new QHBoxLayout;
    body->addWidget(figures_, 1);
    body->addWidget(tabs_, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cnp_);
    buttons->addWidget(invalid_);
    buttons->addStretch(1);
    buttons->addWidget(save_);
    buttons->addWidget(print_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading_);
    layout->addWidget(note_);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
}

TChartView* TProfileWindow::ShownChart() const {
    QWidget* page = tabs_->currentWidget();
    if (!page) return nullptr;
    return page->findChild<TChartView*>();
}

std::optional<std::string> TProfileWindow::Choose(const Table& table, int field,
                                                  ColumnProfile profile, Reprofile profileAgain) {
    table_ = &table;
    field_ = field;
    profile_ = std::move(profile);
    profileAgain_ = std::move(profileAgain);
    chosen_.reset();
    Fill();
    exec();
    return chosen_;
}

std::string TProfileWindow::Within(const std::string& condition) const {
    return WithinFilter(*table_, condition);
}

void TProfileWindow::Pick(std::string condition) {
    chosen_ = Within(condition);
    accept();
}

void TProfileWindow::AddChart(const QString& title, ChartData chart,
                              std::function<std::string(int bar, bool second)> condition) {
    auto* view = new TChartView;
    view->setObjectName(title);
    view->SetChart(std::move(chart));
    view->setToolTip(QStringLiteral("Clic pe o bara: tabelul arata numai liniile ei"));
    connect(view, &TChartView::barClicked, this,
            [this, condition](int bar, bool second) { Pick(condition(bar, second)); });
    auto* scroll = new QScrollArea;
    scroll->setWidget(view);
    scroll->setWidgetResizable(true);
    scroll->setObjectName(title + QStringLiteral("Scroll"));
    tabs_->addTab(scroll, title);
}

void TProfileWindow::Fill() {
    const ColumnProfile& p = profile_;
    const FieldDef& f = table_->Field(field_);
    heading_->setText(QStringLiteral("Coloana %1 (%2), %3 linii afisate")
                          .arg(Q(f.name), Q(FieldTypeText(f)), Q(GroupedThousands(p.rows))));
    QString note;
    if (table_->Filtered() && !table_->FilterText().empty())
        note = QStringLiteral("Numai liniile filtrului: %1. ").arg(Q(table_->FilterText()));
    if (p.approximate)
        note += QStringLiteral(
            "Peste 1.000.000 de valori distincte: numerele valorilor frecvente "
            "sunt aproximative. ");
    note += QStringLiteral("Dublu clic pe o valoare sau clic pe o bara filtreaza tabelul.");
    note_->setText(note);

    auto figures = ProfileFigures(p, table_->Format());
    for (const std::string& s : p.blanksExamples)
        figures.emplace_back("  spatii:", "\"" + s + "\"");
    for (const std::string& s : p.mixedExamples) figures.emplace_back("  amestec:", s);
    figures_->setRowCount(static_cast<int>(figures.size()));
    for (size_t i = 0; i < figures.size(); ++i)
        SetRow(figures_, static_cast<int>(i), {Q(figures[i].first), Q(figures[i].second)});

    top_->setRowCount(static_cast<int>(p.top.size()));
    const double largest = p.top.empty() ? 1 : static_cast<double>(p.top.front().count);
    for (size_t i = 0; i < p.top.size(); ++i) {
        const ValueCount& v = p.top[i];
        char share[32];
        std::snprintf(
            share, sizeof share, "%.1f%%",
            p.rows ? 100.0 * static_cast<double>(v.count) / static_cast<double>(p.rows) : 0.0);
        const int row = static_cast<int>(i);
        SetRow(top_, row,
               {v.text.empty() ? QStringLiteral("(gol)") : Q(v.text), Q(GroupedThousands(v.count)),
                QString::fromLatin1(share).replace(QLatin1Char('.'),
                                                   QLatin1Char(table_->Format().decimalSeparator)),
                QString()});
        top_->item(row, 1)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        top_->item(row, 3)->setData(Qt::UserRole, static_cast<double>(v.count) / largest);
    }

    while (tabs_->count() > 0) {
        QWidget* page = tabs_->widget(0);
        tabs_->removeTab(0);
        if (page != top_) page->deleteLater();
    }
    tabs_->addTab(top_, QStringLiteral("Valori frecvente"));
    if (!p.top.empty())
        AddChart(QStringLiteral("Grafic valori"), ChartOfProfile(p, ChartKind::Bars),
                 [this](int bar, bool) {
                     return ValueCondition(*table_, field_,
                                           profile_.top[static_cast<size_t>(bar)].text);
                 });
    if (!p.histogram.empty()) {
        AddChart(QStringLiteral("Histograma"), ChartOfProfile(p, ChartKind::Histogram),
                 [this](int bar, bool) {
                     return BinCondition(*table_, field_,
                                         profile_.histogram[static_cast<size_t>(bar)]);
                 });
    }
    if (p.cnp) {
        const CnpFigures& c = *p.cnp;
        ChartData validity;
        validity.title = "Validitatea CNP - " + p.column;
        validity.note = GroupedThousands(c.Valid()) + " corecte, " + GroupedThousands(c.Invalid()) +
                        " incorecte";
        for (int i = 0; i < kCnpFaultCount; ++i)
            validity.bars.push_back(
                {CnpFaultText(static_cast<CnpFault>(i)), c.byFault[static_cast<size_t>(i)], 0});
        validity.bars.push_back({"masculin", c.male, 0});
        validity.bars.push_back({"feminin", c.female, 0});
        const std::string column = p.column;
        AddChart(QStringLiteral("Validitate si sex"), validity, [column](int bar, bool) {
            if (bar == kCnpFaultCount) return CnpSexCondition(column, true);
            if (bar == kCnpFaultCount + 1) return CnpSexCondition(column, false);
            return CnpFaultCondition(column, static_cast<CnpFault>(bar));
        });
        AddChart(QStringLiteral("Piramida varstelor"), ChartOfProfile(p, ChartKind::Pyramid),
                 [column](int bar, bool women) {
                     return CnpAgeCondition(column, kAgeGroups - 1 - bar, !women);
                 });
        AddChart(QStringLiteral("Judete"), ChartOfProfile(p, ChartKind::Counties),
                 [this, column](int bar, bool) {
                     return CnpCountyCondition(
                         column, profile_.cnp->counties[static_cast<size_t>(bar)].text);
                 });
    }
    {
        const QSignalBlocker quiet(cnp_);
        cnp_->setChecked(p.cnp.has_value());
    }
    invalid_->setEnabled(p.cnp.has_value() && p.cnp->Invalid() > 0);
    // A column of codes opens on their validity, the others on their values.
    tabs_->setCurrentIndex(p.cnp ? tabs_->count() - 3 : 0);
    save_->setEnabled(ShownChart() != nullptr);
    print_->setEnabled(ShownChart() != nullptr);
}

}  // namespace orbelan
