#pragma once
// The maker's logo in the top right corner of the main window.
#include <QLabel>
#include <string>

namespace orbelan {

inline const std::string kMakerContact =
    "Orbelan Software\nwww.orbelan.example\nTelefon: 0254 000 000";
inline const std::string kMakerWebPage = "http://www.orbelan.example/";

class TLogo : public QLabel {
    Q_OBJECT
  public:
    explicit TLogo(QWidget* parent);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace orbelan
