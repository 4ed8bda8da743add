#pragma once
// Answers the next modal dialog from inside its own event loop, so a test can drive exec().
#include <functional>

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>

namespace orbelan::test {

class ModalAnswer {
  public:
    explicit ModalAnswer(std::function<void(QDialog&)> act)
        : act_(std::move(act)), before_(QApplication::activeModalWidget()) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            // The dialog that was up when this answer was made is not the next one: a command
            // that lets events run before its question would otherwise be answered in its place.
            if (!dialog || !dialog->isVisible() || dialog == before_) return;
            timer_.stop();
            ++seen_;
            wasVisible_ = dialog->isVisible();
            caption_ = dialog->windowTitle();
            act_(*dialog);
        });
        timer_.start();
    }

    int Seen() const { return seen_; }
    bool WasVisible() const { return wasVisible_; }
    // The caption the dialog had while it was shown.
    QString Caption() const { return caption_; }

  private:
    std::function<void(QDialog&)> act_;
    QPointer<QWidget> before_;
    QTimer timer_;
    int seen_ = 0;
    bool wasVisible_ = false;
    QString caption_;
};

}  // namespace orbelan::test
