#pragma once
// "Tabel nou..." and "Structura tabelului...": the table's format and code page (a new table
// only) and its fields in a FieldGrid, with buttons to add, delete and move them. "&Creeaza" /
// "&Aplica" checks the grid, then calls the window's accept handler; the dialog stays open when
// the handler says the work is not done (a refused name, the user went back to the fields).
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "dialogs/field_grid.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace orbelan {

struct Misfits;

class TStructura : public QDialog {
    Q_OBJECT
  public:
    enum class Mode { NewTable, ChangeTable };
    TStructura(Mode mode, QWidget* parent = nullptr);

    // A new table: dBase III, cp1250 and one empty text field to start with.
    void SetNewTable();
    // An open table's fields, in its format.
    void SetTable(DbfFamily family, const std::string& codePage,
                  const std::vector<FieldDef>& fields);

    DbfFamily Family() const;
    std::string CodePageName() const;
    FieldGrid* Grid() const { return grid_; }
    QComboBox* FormatBox() const { return format_; }
    QComboBox* CodePageBox() const { return codePage_; }
    QPushButton* AcceptButton() const { return accept_; }

    // Called by "&Creeaza" / "&Aplica" once the grid is without fault; true closes the dialog.
    std::function<bool()> onAccept;

    void AcceptClick();

  private:
    Mode mode_;
    FieldGrid* grid_;
    QComboBox* format_;
    QComboBox* codePage_;
    QPushButton* accept_;
};

// The values a structure change would not fit: row, column, value and why, the count, and
// "&Renunt", "&Salveaza lista..." (CSV through save) and "Aplica &oricum".
class TValoriNepotrivite : public QDialog {
    Q_OBJECT
  public:
    TValoriNepotrivite(const Misfits& check, QWidget* parent = nullptr);
    // Writes the list where the user chose; nothing when save gives no file.
    std::function<void(const std::string& csv)> onSave;
    QTableWidget* List() const { return list_; }

  private:
    QTableWidget* list_;
};

}  // namespace orbelan
