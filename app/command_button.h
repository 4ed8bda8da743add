#pragma once
// The command buttons of the main window; one with a menu shows a mark and opens the menu
// just below its lower left corner on a left click (a split one only on a click on its mark).
#include <QPushButton>

class QMenu;

namespace orbelan {

class TLbButton : public QPushButton {
    Q_OBJECT
  public:
    TLbButton(const QString& name, const QString& caption, QWidget* parent);
    void SetDropMenu(QMenu* menu);
    // A button that keeps its own click and opens the menu from its mark (or Alt+Down, F4).
    void SetSplitMenu(QMenu* menu);
    QMenu* DropMenu() const { return dropMenu_; }
    void OpenDropMenu();
    // Where the menu mark is drawn; kMarkRoom pixels at the right are kept free of the caption.
    QRect MarkRect() const;
    static constexpr int kMarkRoom = 14;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void FitCaption();
    QMenu* dropMenu_ = nullptr;
    bool split_ = false;
};

}  // namespace orbelan
