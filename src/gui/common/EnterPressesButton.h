#pragma once
#include <QObject>

class QWidget;

// Enter (or Return) on a focused push or tool button presses that button, in
// the windows it watches. Several windows keep their buttons from answering
// Enter themselves, so that Enter typed into an edit starts nothing; without
// this, a keyboard user who tabbed to such a button could not press it with
// Enter, or Enter pressed the window's default button instead.
class EnterPressesButton : public QObject {
  Q_OBJECT
public:
  explicit EnterPressesButton(QObject *parent = nullptr) : QObject(parent) {}
  void watch(QWidget *window);

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;
};
