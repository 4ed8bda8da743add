#include "dialogs/new_table_choice.h"

#include <QComboBox>
#include <set>

#include "engine/codepage.h"
#include "engine/field_list.h"
#include "qtcommon/qt_text.h"

namespace orbelan {

QComboBox* NewTableFormatBox(QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QStringLiteral("Format"));
    for (DbfFamily f :
         {DbfFamily::DBase3, DbfFamily::DBase4, DbfFamily::FoxPro, DbfFamily::VisualFoxPro})
        box->addItem(QLatin1String(TableFormatTitle(f)), static_cast<int>(f));
    return box;
}

QComboBox* NewTableCodePageBox(QWidget* parent) {
    std::set<std::string> names;
    for (int ldid = 1; ldid < 256; ++ldid)
        if (auto page = CodePage::FromLanguageDriver(static_cast<uint8_t>(ldid)))
            names.insert(page->Name());
    auto* box = new QComboBox(parent);
    box->setObjectName(QStringLiteral("CodPagina"));
    for (const std::string& n : names) box->addItem(Q(n));
    box->setCurrentText(QStringLiteral("cp1250"));
    return box;
}

DbfFamily ChosenFamily(const QComboBox* formatBox) {
    return static_cast<DbfFamily>(formatBox->currentData().toInt());
}

}  // namespace orbelan
