#include "dialogs/compare_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <unordered_map>

#include "core/text_util.h"
#include "engine/filter_functions.h"

namespace orbelan {
namespace {

QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

const char* const kGroupNames[] = {"doar-aici",   "doar-dincolo",       "la-fel",
                                   "diferite",    "repetate-aici",      "repetate-dincolo",
                                   "cheie-goala", "cheie-goala-dincolo"};

QTableWidgetItem* Item(const std::string& text) {
    auto* item = new QTableWidgetItem(Q(text));
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

}  // namespace

TKeyEditor::TKeyEditor(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("KeyEditor"));
    pairs_ = new QTableWidget(0, 2, this);
    pairs_->setObjectName(QStringLiteral("KeyPairs"));
    pairs_->setHorizontalHeaderLabels(
        {QStringLiteral("Coloana din acest tabel"), QStringLiteral("Coloana din celalalt tabel")});
    pairs_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    pairs_->verticalHeader()->hide();
    pairs_->setMaximumHeight(110);
    auto* add = new QPushButton(QStringLiteral("&+ coloana"), this);
    add->setObjectName(QStringLiteral("AddKeyColumn"));
    auto* remove = new QPushButton(QStringLiteral("&- coloana"), this);
    connect(add, &QPushButton::clicked, this, [this] { AddPair(0, 0); });
    connect(remove, &QPushButton::clicked, this, [this] {
        if (pairs_->rowCount() > 1) pairs_->removeRow(pairs_->rowCount() - 1);
        emit Changed();
    });
    ignoreCase_ = new QCheckBox(QStringLiteral("Ignora &litere mari/mici"), this);
    ignoreCase_->setObjectName(QStringLiteral("IgnoreCase"));
    ignoreDiacritics_ = new QCheckBox(QStringLiteral("Ignora &diacriticele"), this);
    ignoreDiacritics_->setObjectName(QStringLiteral("IgnoreDiacritics"));
    trim_ = new QCheckBox(QStringLiteral("Ignora &spatiile de la capete"), this);
    trim_->setObjectName(QStringLiteral("Trim"));
    for (QCheckBox* box : {ignoreCase_, ignoreDiacritics_, trim_})
        connect(box, &QCheckBox::toggled, this, &TKeyEditor::Changed);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(pairs_, 1);
    top->addLayout(buttons);
    auto* options = new QHBoxLayout;
    options->addWidget(ignoreCase_);
    options->addWidget(ignoreDiacritics_);
    options->addWidget(trim_);
    options->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(
        new QLabel(QStringLiteral("Cheia (liniile cu aceeasi cheie se potrivesc):"), this));
    layout->addLayout(top);
    layout->addLayout(options);
}

void TKeyEditor::SetSources(const CompareSource& here, const CompareSource& there) {
    hereNames_.clear();
    thereNames_.clear();
    for (const std::string& n : here.Names()) hereNames_ << Q(n);
    for (const std::string& n : there.Names()) thereNames_ << Q(n);
    pairs_->setRowCount(0);
    int h = here.ColumnIndex("CNP"), t = there.ColumnIndex("CNP");
    for (int i = 0; (h < 0 || t < 0) && i < here.ColumnCount(); ++i) {
        h = i;
        t = there.ColumnIndex(here.Names()[static_cast<size_t>(i)]);
    }
    AddPair(std::max(h, 0), std::max(t, 0));
}

void TKeyEditor::AddPair(int here, int there) {
    const int row = pairs_->rowCount();
    pairs_->insertRow(row);
    auto* a = new QComboBox(pairs_);
    a->addItems(hereNames_);
    a->setCurrentIndex(here);
    auto* b = new QComboBox(pairs_);
    b->addItems(thereNames_);
    b->setCurrentIndex(there);
    for (QComboBox* box : {a, b})
        connect(box, &QComboBox::currentIndexChanged, this, &TKeyEditor::Changed);
    pairs_->setCellWidget(row, 0, a);
    pairs_->setCellWidget(row, 1, b);
    emit Changed();
}

std::vector<KeyColumn> TKeyEditor::Key() const {
    std::vector<KeyColumn> key;
    for (int r = 0; r < pairs_->rowCount(); ++r) {
        const auto* a = qobject_cast<QComboBox*>(pairs_->cellWidget(r, 0));
        const auto* b = qobject_cast<QComboBox*>(pairs_->cellWidget(r, 1));
        if (a && b && a->currentIndex() >= 0 && b->currentIndex() >= 0)
            key.push_back({a->currentIndex(), b->currentIndex()});
    }
    return key;
}

TextOptions TKeyEditor::Options() const {
    TextOptions o;
    o.ignoreCase = ignoreCase_->isChecked();
    o.ignoreDiacritics = ignoreDiacritics_->isChecked();
    o.trim = trim_->isChecked();
    return o;
}

std::string GroupCondition(const CompareSource& here, const CompareSpec& request,
                           const CompareResult& r, int group) {
    using G = TCompareWindow::Group;
    if (request.key.size() != 1 || group == G::OnlyThere || group == G::RepeatedThere ||
        group == G::EmptyThere)
        return {};
    // One key column: every row of a key value is in one group, so the value says the group.
    auto groups = std::make_shared<std::unordered_map<std::string, std::string>>();
    const int column = request.key[0].here;
    const auto put = [&](uint32_t row, int g) {
        (*groups)[here.Text(row, column)] = kGroupNames[g];
    };
    for (const uint32_t row : r.onlyHere) put(row, G::OnlyHere);
    for (const RowPair& p : r.same) put(p.here, G::Same);
    for (const RowPair& p : r.differ) put(p.here, G::Differ);
    for (const uint32_t row : r.repeatedHere) put(row, G::RepeatedHere);
    for (const uint32_t row : r.emptyHere) put(row, G::EmptyHere);
    RegisterFilterFunction("COMPARARE", {false, [groups](std::string_view text) {
                                             const auto it = groups->find(std::string(text));
                                             return it == groups->end() ? std::string()
                                                                        : it->second;
                                         }});
    const std::string& name = here.Fields()[static_cast<size_t>(column)].name;
    return "COMPARARE(" + name + ")='" + kGroupNames[group] + "'";
}

TCompareWindow::TCompareWindow(QWidget* parent, std::unique_ptr<CompareSource> here,
                               std::unique_ptr<CompareSource> there, Actions actions)
    : QDialog(parent),
      here_(std::move(here)),
      there_(std::move(there)),
      actions_(std::move(actions)) {
    setObjectName(QStringLiteral("CompareWindow"));
    setWindowTitle(QStringLiteral("Compara cu alt tabel"));
    resize(1000, 680);
    otherLabel_ = new QLabel(Q("Celalalt tabel: " + there_->Path() + " (" +
                               GroupedThousands(there_->Rows()) + " linii)"),
                             this);
    key_ = new TKeyEditor(this);
    key_->SetSources(*here_, *there_);
    compareButton_ = new QPushButton(QStringLiteral("&Compara"), this);
    compareButton_->setObjectName(QStringLiteral("CompareButton"));
    compareButton_->setDefault(true);
    connect(compareButton_, &QPushButton::clicked, this, &TCompareWindow::Run);

    groups_ = new QListWidget(this);
    groups_->setObjectName(QStringLiteral("Groups"));
    connect(groups_, &QListWidget::currentRowChanged, this, &TCompareWindow::ShowGroup);
    rows_ = new QTableWidget(this);
    rows_->setObjectName(QStringLiteral("GroupRows"));
    rows_->verticalHeader()->hide();
    note_ = new QLabel(this);
    filterButton_ = new QPushButton(QStringLiteral("Arata in &tabel"), this);
    filterButton_->setObjectName(QStringLiteral("FilterButton"));
    exportButton_ = new QPushButton(QStringLiteral("&Exporta..."), this);
    exportButton_->setObjectName(QStringLiteral("ExportButton"));
    newTableButton_ = new QPushButton(QStringLiteral("Tabel &nou..."), this);
    newTableButton_->setObjectName(QStringLiteral("NewTableButton"));
    auto* close = new QPushButton(QStringLiteral("&Inchide"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(filterButton_, &QPushButton::clicked, this, [this] {
        const std::string condition =
            GroupCondition(*here_, spec_, *result_, groups_->currentRow());
        if (!condition.empty() && actions_.filter) {
            actions_.filter(condition);
            accept();
        }
    });
    connect(exportButton_, &QPushButton::clicked, this, [this] {
        const int g = groups_->currentRow();
        if (actions_.exportRows) actions_.exportRows(SideOf(g), RowsOf(g));
    });
    connect(newTableButton_, &QPushButton::clicked, this, [this] {
        const int g = groups_->currentRow();
        if (actions_.newTable) actions_.newTable(SideOf(g), RowsOf(g));
    });
    connect(key_, &TKeyEditor::Changed, this, [this] {
        result_.reset();
        groups_->clear();
        rows_->clear();
        rows_->setRowCount(0);
        note_->clear();
        UpdateButtons();
    });

    auto* keyRow = new QHBoxLayout;
    keyRow->addWidget(key_, 1);
    keyRow->addWidget(compareButton_, 0, Qt::AlignBottom);
    auto* split = new QSplitter(this);
    split->addWidget(groups_);
    split->addWidget(rows_);
    split->setStretchFactor(1, 3);
    auto* actionsRow = new QHBoxLayout;
    actionsRow->addWidget(note_, 1);
    actionsRow->addWidget(filterButton_);
    actionsRow->addWidget(exportButton_);
    actionsRow->addWidget(newTableButton_);
    actionsRow->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(otherLabel_);
    layout->addLayout(keyRow);
    layout->addWidget(split, 1);
    layout->addLayout(actionsRow);
    UpdateButtons();
}

bool TCompareWindow::Run() {
    spec_ = {key_->Key(), key_->Options()};
    if (spec_.key.empty()) {
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("Alegeti cel putin o coloana a cheii."));
        return false;
    }
    setCursor(Qt::WaitCursor);
    try {
        result_ = CompareTables(*here_, *there_, spec_);
    } catch (const std::exception& e) {
        // A table changed or shortened by another program while the window was open.
        unsetCursor();
        result_.reset();
        QMessageBox::warning(this, windowTitle(), Q(e.what()));
        return false;
    }
    unsetCursor();
    const CompareResult& r = *result_;
    const std::pair<std::string, size_t> counts[] = {
        {"Doar in acest tabel", r.onlyHere.size()},
        {"Doar in celalalt tabel", r.onlyThere.size()},
        {"In ambele, la fel", r.same.size()},
        {"In ambele, diferite", r.differ.size()},
        {"Chei repetate aici", r.repeatedHere.size()},
        {"Chei repetate dincolo", r.repeatedThere.size()},
        {"Cheie goala aici", r.emptyHere.size()},
        {"Cheie goala dincolo", r.emptyThere.size()},
    };
    groups_->clear();
    for (const auto& [label, n] : counts)
        groups_->addItem(Q(label + ": " + GroupedThousands(static_cast<long long>(n))));
    groups_->setCurrentRow(r.differ.empty() ? 0 : Differ);
    return true;
}

const CompareSource& TCompareWindow::SideOf(int group) const {
    return group == OnlyThere || group == RepeatedThere || group == EmptyThere ? *there_ : *here_;
}

std::vector<uint32_t> TCompareWindow::RowsOf(int group) const {
    if (!result_) return {};
    const CompareResult& r = *result_;
    const auto here = [](const std::vector<RowPair>& pairs) {
        std::vector<uint32_t> rows;
        for (const RowPair& p : pairs) rows.push_back(p.here);
        return rows;
    };
    switch (group) {
        case OnlyHere:
            return r.onlyHere;
        case OnlyThere:
            return r.onlyThere;
        case Same:
            return here(r.same);
        case Differ:
            return here(r.differ);
        case RepeatedHere:
            return r.repeatedHere;
        case RepeatedThere:
            return r.repeatedThere;
        case EmptyHere:
            return r.emptyHere;
        case EmptyThere:
            return r.emptyThere;
        default:
            return {};
    }
}

void TCompareWindow::ShowGroup(int group) {
    rows_->clear();
    rows_->setRowCount(0);
    UpdateButtons();
    if (!result_ || group < 0) return;
    const CompareResult& r = *result_;
    QStringList head{QStringLiteral("Linia")};
    if (group == Differ) {
        // One line per pair: the key, then each shared column as this value beside the other's;
        // the differing ones highlighted.
        // Only the columns that differ somewhere among the rows shown.
        const int shown = static_cast<int>(std::min<size_t>(r.differ.size(), kShownRows));
        std::vector<bool> used(r.shared.size());
        for (int i = 0; i < shown; ++i)
            for (const uint16_t s : r.Differing(static_cast<size_t>(i))) used[s] = true;
        head << QStringLiteral("Linia alt");
        for (const KeyColumn& k : spec_.key) head << Q(here_->Names()[static_cast<size_t>(k.here)]);
        for (size_t s = 0; s < r.shared.size(); ++s) {
            if (!used[s]) continue;
            const QString name = Q(here_->Names()[static_cast<size_t>(r.shared[s].here)]);
            head << name << name + QStringLiteral(" (alt)");
        }
        rows_->setColumnCount(static_cast<int>(head.size()));
        rows_->setHorizontalHeaderLabels(head);
        rows_->setRowCount(shown);
        const QBrush mark(QColor(255, 220, 160));
        for (int i = 0; i < shown; ++i) {
            const RowPair& p = r.differ[static_cast<size_t>(i)];
            int col = 0;
            rows_->setItem(i, col++, Item(std::to_string(here_->RowNumber(p.here))));
            rows_->setItem(i, col++, Item(std::to_string(there_->RowNumber(p.there))));
            for (const KeyColumn& k : spec_.key)
                rows_->setItem(i, col++, Item(here_->Text(p.here, k.here)));
            const std::vector<uint16_t> differing = r.Differing(static_cast<size_t>(i));
            for (size_t s = 0; s < r.shared.size(); ++s) {
                if (!used[s]) continue;
                auto* mine = Item(here_->Text(p.here, r.shared[s].here));
                auto* theirs = Item(there_->Text(p.there, r.shared[s].there));
                if (std::find(differing.begin(), differing.end(), s) != differing.end()) {
                    mine->setBackground(mark);
                    theirs->setBackground(mark);
                }
                rows_->setItem(i, col++, mine);
                rows_->setItem(i, col++, theirs);
            }
        }
        note_->setText(r.differ.size() > kShownRows
                           ? Q("Primele " + GroupedThousands(kShownRows) + " linii din " +
                               GroupedThousands(static_cast<long long>(r.differ.size())) + ".")
                           : QString());
        rows_->resizeColumnsToContents();
        return;
    }
    const CompareSource& side = SideOf(group);
    const std::vector<uint32_t> rows = RowsOf(group);
    for (const std::string& n : side.Names()) head << Q(n);
    const int shown = static_cast<int>(std::min<size_t>(rows.size(), kShownRows));
    rows_->setColumnCount(static_cast<int>(head.size()));
    rows_->setHorizontalHeaderLabels(head);
    rows_->setRowCount(shown);
    for (int i = 0; i < shown; ++i) {
        const uint32_t row = rows[static_cast<size_t>(i)];
        rows_->setItem(i, 0, Item(std::to_string(side.RowNumber(row))));
        for (int c = 0; c < side.ColumnCount(); ++c)
            rows_->setItem(i, c + 1, Item(side.Text(row, c)));
    }
    note_->setText(rows.size() > kShownRows
                       ? Q("Primele " + GroupedThousands(kShownRows) + " linii din " +
                           GroupedThousands(static_cast<long long>(rows.size())) + ".")
                       : QString());
    rows_->resizeColumnsToContents();
}

void TCompareWindow::UpdateButtons() {
    const int g = groups_->currentRow();
    const bool rows = result_ && g >= 0 && !RowsOf(g).empty();
    const bool mine = g != OnlyThere && g != RepeatedThere && g != EmptyThere;
    filterButton_->setEnabled(rows && mine && spec_.key.size() == 1);
    exportButton_->setEnabled(rows);
    newTableButton_->setEnabled(rows);
}

}  // namespace orbelan
