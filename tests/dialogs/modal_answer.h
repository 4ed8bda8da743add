#pragma once
// Answers the next modal dialog from inside its own event loop, so a test can drive exec().
#include <functional>
#include <set>

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QTimer>

namespace orbelan::test {

class ModalAnswer {
  public:
    explicit ModalAnswer(std::function<void(QDialog&)> act) : act_(std::move(act)) {
        QApplication::instance()->installEventFilter(&shows_);
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            // Only a dialog shown since this answer was made is the next one: a command that
            // lets events run before its question would otherwise be answered in its place.
            if (!dialog || !dialog->isVisible() || !shows_.seen.count(dialog)) return;
            timer_.stop();
            QApplication::instance()->removeEventFilter(&shows_);
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
    struct Shows : QObject {
        std::set<QObject*> seen;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Show && watched->isWidgetType()) seen.insert(watched);
            return false;
        }
    };

    std::function<void(QDialog&)> act_;
    Shows shows_;
    QTimer timer_;
    int seen_ = 0;
    bool wasVisible_ = false;
    QString caption_;
};

}  // namespace orbelan::test
