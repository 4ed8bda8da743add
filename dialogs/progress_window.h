#pragma once
// The export engine's progress window; its "Renunt" button stops the export.
#include <QDialog>

#include "export/export_windows.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace orbelan {

class Tfrm_ProgressForm : public QDialog {
    Q_OBJECT
  public:
    explicit Tfrm_ProgressForm(QWidget* parent = nullptr);

    void Prepare(const ExportProgressRequest& request);
    void SetPosition(int position);
    bool CancelRequested() const { return cancelled_; }

    QLabel* ProgressLabel;
    QProgressBar* ProgressBar;
    QPushButton* CancelButton;

  private:
    bool cancelled_ = false;
};

}  // namespace orbelan
