#pragma once
// The format and code page of a new table, offered alike by "Tabel nou" and the import.
#include <string>

#include "engine/dbf_header.h"

class QComboBox;
class QWidget;

namespace orbelan {

// The four formats by title, each item's data its DbfFamily; dBase III chosen.
QComboBox* NewTableFormatBox(QWidget* parent);
// Every page a table's header can name, by the engine's own list of language drivers; cp1250
// chosen.
QComboBox* NewTableCodePageBox(QWidget* parent);

DbfFamily ChosenFamily(const QComboBox* formatBox);

}  // namespace orbelan
