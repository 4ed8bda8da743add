#pragma once
// A label that shows a rich-text document over a white background, cut at its own height.
#include <QTextDocument>
#include <QWidget>

namespace orbelan {

class RichLabel : public QWidget {
    Q_OBJECT
  public:
    explicit RichLabel(QWidget* parent = nullptr);

    // Plain text as centred lines; "\r\n", "\r" and "\n" each start a new line.
    void SetCenteredText(const QString& text);
    QString PlainText() const;
    // One entry per line of the text, before word wrap.
    QStringList Lines() const;
    bool AllLinesCentered() const;

    const QTextDocument& Document() const { return document_; }
    // Height the whole text would need at the label's width; more than height() means cut.
    int ContentHeight() const;
    // Width of the widest line unwrapped, and the height the text needs wrapped at `width`.
    int NaturalWidth() const;
    int HeightAtWidth(int width) const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    QTextDocument document_;
};

}  // namespace orbelan
