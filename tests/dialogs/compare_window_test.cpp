// The compare and fill windows on two small tables: the counts and the highlighted values, the
// group as a filter condition, and a fill that writes nothing before "Aplica".
#include <gtest/gtest.h>

#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

#include "dialogs/compare_window.h"
#include "dialogs/fill_window.h"
#include "engine/filter_functions.h"
#include "support/dbf_builder.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

struct TwoTables {
    test::TempDir dir;
    std::string here = dir.File("aici.dbf"), there = dir.File("alt.dbf");
    FormatSettings format{',', "dd.MM.yyyy"};
    TwoTables() {
        test::WriteDbf(here, {{"CNP", 'C', 13}, {"ORAS", 'C', 10}},
                       {{"1", "Cluj"}, {"2", "Iasi"}, {"3", "Arad"}});
        test::WriteDbf(there, {{"CNP", 'N', 13}, {"ORAS", 'C', 10}, {"TELEFON", 'C', 8}},
                       {{"1", "Cluj", "0722"}, {"2", "Deva", ""}, {"4", "Brad", "0744"}});
    }
};

TEST(CompareWindow, CountsHighlightsAndFiltersAGroup) {
    TwoTables t;
    std::string condition;
    TCompareWindow::Actions actions;
    actions.filter = [&](const std::string& c) { condition = c; };
    TCompareWindow w(nullptr, OpenCompareSource(t.here, {}, t.format),
                     OpenCompareSource(t.there, {}, t.format), actions);
    ASSERT_TRUE(w.Run());
    EXPECT_EQ(w.Groups()->item(TCompareWindow::Differ)->text(),
              QStringLiteral("In ambele, diferite: 1"));
    EXPECT_EQ(w.Groups()->item(TCompareWindow::OnlyThere)->text(),
              QStringLiteral("Doar in celalalt tabel: 1"));
    // The differing pair: its town beside the other's, both marked; the equal values are not.
    EXPECT_EQ(w.Groups()->currentRow(), TCompareWindow::Differ);
    ASSERT_EQ(w.Rows()->rowCount(), 1);
    EXPECT_EQ(w.Rows()->item(0, 3)->text(), QStringLiteral("Iasi"));
    EXPECT_EQ(w.Rows()->item(0, 4)->text(), QStringLiteral("Deva"));
    EXPECT_NE(w.Rows()->item(0, 3)->background(), QBrush());
    // The other table's own rows can't be a filter of this one.
    w.Groups()->setCurrentRow(TCompareWindow::OnlyThere);
    EXPECT_FALSE(w.FilterButton()->isEnabled());
    w.Groups()->setCurrentRow(TCompareWindow::OnlyHere);
    w.FilterButton()->click();
    EXPECT_EQ(condition, "COMPARARE(CNP)='doar-aici'");
    const FilterFunction* f = FindFilterFunction("COMPARARE");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->apply("3"), "doar-aici");
    EXPECT_EQ(f->apply("2"), "diferite");
}

TEST(FillWindow, WritesNothingBeforeApply) {
    TwoTables t;
    int applied = 0;
    TFillWindow w(nullptr, OpenCompareSource(t.here, {}, t.format),
                  OpenCompareSource(t.there, {}, t.format), *CodePage::Get("cp1250"),
                  [&](const CompareSource&, const FillPlan& plan) {
                      ++applied;
                      EXPECT_EQ(plan.changes.size(), 2u);  // a town, a telephone
                      return true;
                  });
    EXPECT_FALSE(w.ApplyButton()->isEnabled());
    w.Columns()->item(1)->setCheckState(Qt::Checked);  // ORAS
    w.Columns()->item(2)->setCheckState(Qt::Checked);  // TELEFON, new
    w.Always()->setChecked(true);
    ASSERT_TRUE(w.Plan());
    EXPECT_TRUE(w.Report()->toPlainText().contains(QStringLiteral("Linii care se schimba: 2")));
    EXPECT_TRUE(w.Report()->toPlainText().contains(QStringLiteral("Coloana noua: TELEFON")));
    EXPECT_EQ(applied, 0);
    // A change of choice asks for the counts again before anything can be applied.
    w.Keep()->setChecked(true);
    EXPECT_FALSE(w.ApplyButton()->isEnabled());
    // Keeping this table's values: only the added telephone column is filled.
    ASSERT_TRUE(w.Plan());
    EXPECT_EQ(w.Planned()->changes.size(), 1u);
    EXPECT_EQ(w.Planned()->values, 1);
    w.Always()->setChecked(true);
    ASSERT_TRUE(w.Plan());
    w.ApplyButton()->click();
    EXPECT_EQ(applied, 1);
}

}  // namespace
}  // namespace orbelan
