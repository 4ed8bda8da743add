// The field grid of the new-table and structure windows: faults shown on their cell as they are
// typed, and each row keeping the field it came from.
#include "dialogs/field_grid.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

#include "dialogs/balloon_hint.h"

namespace orbelan {
namespace {

TEST(FieldGrid, FaultsShownOnTheCellAsTyped) {
    struct Case {
        int row, column;
        const char* typed;
        const char* balloon;  // nullptr: accepted, no balloon
    };
    const Case cases[] = {
        {0, FieldGrid::ColName, "PRENUMELEMEU", "cel mult 10"},
        {0, FieldGrid::ColName, "DAT\xC4\x82", "scrieti DATA."},
        {1, FieldGrid::ColName, "nume", "apare de doua ori"},
        {1, FieldGrid::ColWidth, "25", "intre 1 si 20"},
        {1, FieldGrid::ColDecimals, "9", "cel mult 8 zecimale"},
        {1, FieldGrid::ColDecimals, "3", nullptr},
        {0, FieldGrid::ColName, "PRENUME", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        FieldGrid grid;
        grid.resize(500, 300);
        grid.show();
        grid.SetFields({{"NUME", 'C', 30}, {"SUMA", 'N', 10, 2}});
        grid.setCurrentCell(c.row, c.column);  // which opens its editor
        auto* edit = grid.findChild<QLineEdit*>(QStringLiteral("FieldEditor"));
        ASSERT_NE(edit, nullptr);
        edit->selectAll();
        // Key by key, letters QTest has no key for included.
        for (const QChar ch : QString::fromUtf8(c.typed)) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(edit, &press);
        }
        EXPECT_EQ(grid.Balloon()->isVisible(), c.balloon != nullptr);
        if (c.balloon) {
            EXPECT_TRUE(grid.Balloon()->Text().contains(QString::fromUtf8(c.balloon)));
        }
        grid.setCurrentCell(1 - c.row, c.column);  // leaving the cell keeps what was typed
        EXPECT_EQ(grid.item(c.row, c.column)->text(), QString::fromUtf8(c.typed));
    }
}

TEST(FieldGrid, RowsKeepTheirFieldThroughMovesAndTypes) {
    FieldGrid grid;
    grid.SetFields({{"NUME", 'C', 30}, {"DATAN", 'D', 8}, {"OBS", 'M', 10}});
    grid.setCurrentCell(2, FieldGrid::ColName);
    grid.MoveCurrent(-1);
    grid.setCurrentCell(0, FieldGrid::ColName);
    EXPECT_EQ(grid.AddField(), 1);
    grid.item(1, FieldGrid::ColName)->setText(QStringLiteral("CNP"));
    EXPECT_EQ(grid.Sources(), (std::vector<int>{0, -1, 2, 1}));

    // A type of fixed width takes it; back to text, an editable width again.
    QComboBox* box = grid.TypeBox(1);
    box->setCurrentIndex(box->findData(QChar::fromLatin1('L')));
    EXPECT_EQ(grid.FieldAt(1).size, 1);
    EXPECT_FALSE(grid.item(1, FieldGrid::ColWidth)->flags() & Qt::ItemIsEditable);
    box->setCurrentIndex(box->findData(QChar::fromLatin1('C')));
    EXPECT_EQ(grid.FieldAt(1).size, 10);
    EXPECT_TRUE(grid.Check());

    // The whole check points at the first fault's cell.
    grid.item(3, FieldGrid::ColName)->setText(QStringLiteral("cnp"));
    EXPECT_FALSE(grid.Check());
    EXPECT_EQ(grid.currentRow(), 3);
    EXPECT_EQ(grid.currentColumn(), int(FieldGrid::ColName));
}

}  // namespace
}  // namespace orbelan
