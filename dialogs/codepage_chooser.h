#pragma once
// The code page chooser of "Citeste ca..." and "Converteste in alt cod...": one line per page
// with the first rows of the table's text as that page reads them, so the user sees which reads
// right.
#include <QDialog>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QListWidget;

namespace orbelan {

struct PageChoice {
    std::string page;
    std::vector<std::string> preview;  // UTF-8 lines
};

class TCodePageChooser : public QDialog {
    Q_OBJECT
  public:
    explicit TCodePageChooser(QWidget* parent = nullptr);

    // Shows the pages modally, current selected; the chosen page after "&Alege", nothing after
    // "&Renunt", the close box or Esc.
    std::optional<std::string> Choose(const QString& caption, const QString& question,
                                      const std::vector<PageChoice>& pages,
                                      const std::string& current);

    QListWidget* Pages() const { return list_; }

  private:
    QLabel* question_;
    QListWidget* list_;
};

}  // namespace orbelan
