#pragma once
// Counts the showings of a modal window and answers each one from the
// window's own modal loop; a window the answer leaves open is cancelled. A
// watcher without an answer only counts (for windows that close themselves).
#include <QDialog>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <functional>

class ShowWatcher : public QObject {
public:
  ShowWatcher(QDialog *dialog, std::function<void(QDialog *)> answer = {})
      : dialog_(dialog), answer_(std::move(answer)) {
    dialog_->installEventFilter(this);
  }
  ~ShowWatcher() override { dialog_->removeEventFilter(this); }
  int seen = 0;

protected:
  bool eventFilter(QObject *watched, QEvent *e) override {
    if (watched == dialog_ && e->type() == QEvent::Show) {
      ++seen;
      QTimer::singleShot(0, this, [this] {
        if (!answer_)
          return;
        answer_(dialog_);
        if (dialog_->isVisible())
          dialog_->reject();
      });
    }
    return false;
  }

private:
  QDialog *dialog_;
  std::function<void(QDialog *)> answer_;
};
