#pragma once
// The export engine's format chooser: formats, view or file, the format's icon.
#include <QDialog>

#include "export/export_windows.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QCheckBox;

namespace orbelan {

class Tfrm_Selection : public QDialog {
    Q_OBJECT
  public:
    explicit Tfrm_Selection(QWidget* parent = nullptr);

    // Fills the window from the engine's state, as every Execute does.
    void Fill(const ExportChooserRequest& request);
    // Fill, show modally, and on OK write the choice back.
    bool Run(ExportChooserRequest& request);
    void SelectionChanged(QObject* sender);

    int ExportType() const { return type_; }
    bool View() const { return view_; }
    int IconNumber() const;

    QPushButton* btn_Selection;
    QPushButton* btn_Cancel;
    QGroupBox* GroupBox;
    QComboBox* SelectionCombo;
    QRadioButton* rdo_View;
    QRadioButton* rdo_File;
    QCheckBox* chk_Utf8;  // text formats in UTF-8 instead of the 8-bit code page
    QLabel* IconImage;

  private:
    void PaintFormatIcon();
    std::vector<int> types_;
    int type_ = 0;
    bool view_ = true;
};

}  // namespace orbelan
