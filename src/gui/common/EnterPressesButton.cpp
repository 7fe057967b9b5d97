#include "common/EnterPressesButton.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QToolButton>

void EnterPressesButton::watch(QWidget *window) {
  if (window)
    window->installEventFilter(this);
}

// A key a button left unanswered travels up to its window, and this sees it
// there before the window acts on it.
bool EnterPressesButton::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() != QEvent::KeyPress)
    return false;
  const auto *key = static_cast<QKeyEvent *>(event);
  if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
    return false;
  if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
    return false;
  auto *button = qobject_cast<QAbstractButton *>(static_cast<QWidget *>(watched)->focusWidget());
  if (!button || (!qobject_cast<QPushButton *>(button) && !qobject_cast<QToolButton *>(button)))
    return false;
  if (button->window() != watched || !button->isEnabled() || !button->isVisible())
    return false;
  button->click();
  return true;
}
