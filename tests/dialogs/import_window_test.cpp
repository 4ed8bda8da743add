#include "dialogs/import_window.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include "core/argument_error.h"
#include "dialogs/field_grid.h"
#include "dialogs/modal_answer.h"
#include "engine/field_list.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

TEST(ImportWindowTest, EditedFieldsShowTheRowsAsStoredAndChangingTheDelimiterReadsAgain) {
    test::TempDir dir;
    const std::string path = dir.File("l.csv");
    test::WriteFileBytes(path, "Nume;Cod\nAna;0012\nIoana;x7\n");
    TImportWindow window(QStringLiteral("l.csv"), [&](const SourceOptions& o, ImportPreview& p) {
        auto s = OpenImportSource(path, o);
        p = PreviewSource(*s);
        return s;
    });
    std::string error;
    ASSERT_TRUE(window.Load(error)) << error;
    FieldGrid* fields = window.ProposedFields();
    QTableWidget* rows = window.RowGrid();
    EXPECT_EQ(fields->item(1, FieldGrid::ColWidth)->text(),
              QStringLiteral("4"));  // the code stays text, C(4)

    // Cod as a number: "0012" reads as 12, "x7" is marked with why it can't be stored.
    QComboBox* type = fields->TypeBox(1);
    type->setCurrentIndex(type->findData(QChar::fromLatin1('N')));
    EXPECT_EQ(rows->item(0, 1)->text(), QStringLiteral("12"));
    EXPECT_EQ(rows->item(1, 1)->toolTip(), QStringLiteral("nu este un numar"));
    fields->item(0, FieldGrid::ColName)->setText(QStringLiteral("prenume"));
    fields->item(0, FieldGrid::ColWidth)->setText(QStringLiteral("3"));
    EXPECT_EQ(rows->item(1, 0)->toolTip(), QStringLiteral("nu incape in 3 caractere"));
    const std::vector<ColumnField> columns = window.Columns();
    EXPECT_EQ(FormatFieldList({columns[0].field, columns[1].field}), "PRENUME C(3); COD N(4)");
    fields->item(1, FieldGrid::ColWidth)->setText(QStringLiteral("1"));
    EXPECT_TRUE(rows->item(0, 1)->toolTip().startsWith(QStringLiteral("nu incape in N")))
        << rows->item(0, 1)->toolTip().toStdString();
    fields->item(0, FieldGrid::ColWidth)->setText(QStringLiteral("300"));
    EXPECT_THROW(window.Columns(), ArgumentError);

    auto* delimiter = window.findChild<QComboBox*>(QStringLiteral("Delimitator"));
    delimiter->setCurrentIndex(delimiter->findData(QStringLiteral(",")));
    emit delimiter->activated(delimiter->currentIndex());
    EXPECT_EQ(window.Source().delimiter, ',');
    EXPECT_EQ(fields->rowCount(), 1);  // "Nume;Cod" is one column now
    fields->item(0, FieldGrid::ColName)->setText(QStringLiteral("9x"));
    EXPECT_FALSE(fields->Check());
    EXPECT_THROW(window.Columns(), ArgumentError);
}

// The append's question when columns go to one field: a button per column, its index back;
// "Renunt" (and Escape) -1.
TEST(ImportWindowTest, WhichColumnGoesToTheFieldIsAsked) {
    for (const auto& [button, expected] :
         {std::pair{QStringLiteral("Nume"), 1}, std::pair{QStringLiteral("N&&ME"), 2},
          std::pair{QStringLiteral("Renunt"), -1}}) {
        QString text;
        test::ModalAnswer answer([&, button = button](QDialog& d) {
            text = d.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->text();
            for (auto* b : d.findChildren<QPushButton*>())
                if (b->text() == button) b->click();
        });
        EXPECT_EQ(AskWhichColumn(nullptr, "NUME", {"NUME", "Nume", "N&ME"}), expected);
        EXPECT_EQ(answer.Seen(), 1);
        EXPECT_EQ(text, QStringLiteral("Mai multe coloane din sursa merg in campul NUME. Pe care o "
                                       "adaug?"));
    }
}

}  // namespace
}  // namespace orbelan
