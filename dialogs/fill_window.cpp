#include "dialogs/fill_window.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "dialogs/compare_window.h"

namespace orbelan {
namespace {

QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

TFillWindow::TFillWindow(QWidget* parent, std::unique_ptr<CompareSource> here,
                         std::unique_ptr<CompareSource> there, const CodePage& page, Apply apply)
    : QDialog(parent),
      here_(std::move(here)),
      there_(std::move(there)),
      page_(page),
      apply_(std::move(apply)) {
    setObjectName(QStringLiteral("FillWindow"));
    setWindowTitle(QStringLiteral("Completeaza din alt tabel"));
    resize(820, 620);
    key_ = new TKeyEditor(this);
    key_->SetSources(*here_, *there_);
    columns_ = new QListWidget(this);
    columns_->setObjectName(QStringLiteral("TakeColumns"));
    for (const std::string& name : there_->Names()) {
        auto* item = new QListWidgetItem(Q(name), columns_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    whenEmpty_ =
        new QRadioButton(QStringLiteral("Ia valoarea celuilalt tabel unde aceasta e &goala"), this);
    whenEmpty_->setChecked(true);
    always_ = new QRadioButton(QStringLiteral("Ia &intotdeauna valoarea celuilalt tabel"), this);
    always_->setObjectName(QStringLiteral("Always"));
    keep_ = new QRadioButton(
        QStringLiteral("&Pastreaza valorile acestui tabel (completeaza doar coloanele noi)"), this);
    keep_->setObjectName(QStringLiteral("Keep"));
    planButton_ = new QPushButton(QStringLiteral("&Calculeaza"), this);
    planButton_->setObjectName(QStringLiteral("PlanButton"));
    planButton_->setDefault(true);
    applyButton_ = new QPushButton(QStringLiteral("&Aplica"), this);
    applyButton_->setObjectName(QStringLiteral("ApplyButton"));
    auto* close = new QPushButton(QStringLiteral("&Inchide"), this);
    report_ = new QPlainTextEdit(this);
    report_->setObjectName(QStringLiteral("FillReport"));
    report_->setReadOnly(true);

    connect(planButton_, &QPushButton::clicked, this, &TFillWindow::Plan);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(applyButton_, &QPushButton::clicked, this, [this] {
        if (plan_ && apply_(*there_, *plan_)) accept();
    });
    connect(key_, &TKeyEditor::Changed, this, &TFillWindow::Invalidate);
    connect(columns_, &QListWidget::itemChanged, this, &TFillWindow::Invalidate);
    for (QRadioButton* b : {whenEmpty_, always_, keep_})
        connect(b, &QRadioButton::toggled, this, &TFillWindow::Invalidate);

    auto* modes =
        new QGroupBox(QStringLiteral("Pentru coloanele pe care tabelul le are deja"), this);
    auto* modeLayout = new QVBoxLayout(modes);
    modeLayout->addWidget(whenEmpty_);
    modeLayout->addWidget(always_);
    modeLayout->addWidget(keep_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(planButton_);
    buttons->addWidget(applyButton_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(Q("Celalalt tabel: " + there_->Path()), this));
    layout->addWidget(key_);
    layout->addWidget(new QLabel(
        QStringLiteral("Coloanele de preluat (cele noi se adauga cu tipul lor):"), this));
    layout->addWidget(columns_, 1);
    layout->addWidget(modes);
    layout->addWidget(report_, 1);
    layout->addLayout(buttons);
    Invalidate();
}

void TFillWindow::Invalidate() {
    plan_.reset();
    applyButton_->setEnabled(false);
    report_->setPlainText(QStringLiteral("Alegeti cheia si coloanele, apoi \"Calculeaza\"."));
}

bool TFillWindow::Plan() {
    FillSpec request;
    request.key = key_->Key();
    request.text = key_->Options();
    for (int i = 0; i < columns_->count(); ++i)
        if (columns_->item(i)->checkState() == Qt::Checked) request.take.push_back(i);
    request.mode = always_->isChecked() ? FillMode::Always
                   : keep_->isChecked() ? FillMode::Keep
                                        : FillMode::WhenEmpty;
    QString problem;
    if (request.key.empty())
        problem = QStringLiteral("Alegeti cel putin o coloana a cheii.");
    else if (request.take.empty())
        problem = QStringLiteral("Bifati coloanele de preluat.");
    if (problem.isEmpty()) {
        try {
            setCursor(Qt::WaitCursor);
            plan_ = PlanFill(*here_, *there_, request, page_);
            unsetCursor();
        } catch (const std::exception& e) {
            unsetCursor();
            problem = Q(e.what());
        }
    }
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, windowTitle(), problem);
        return false;
    }
    std::string text = plan_->Summary(*here_, *there_);
    if (plan_->changes.empty()) text += "\nNimic de completat.";
    report_->setPlainText(Q(text));
    applyButton_->setEnabled(!plan_->changes.empty());
    return true;
}

TAppendChoice::TAppendChoice(QWidget* parent, const CompareSource& here, const CompareSource& there)
    : QDialog(parent) {
    setObjectName(QStringLiteral("AppendChoice"));
    setWindowTitle(QStringLiteral("Adauga doar liniile noi"));
    key_ = new TKeyEditor(this);
    key_->SetSources(here, there);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        Q("Se adauga liniile din " + there.Path() + " a caror cheie nu este in tabel."), this));
    layout->addWidget(key_);
    layout->addWidget(box);
}

std::vector<KeyColumn> TAppendChoice::Key() const {
    return key_->Key();
}

TextOptions TAppendChoice::Options() const {
    return key_->Options();
}

}  // namespace orbelan
