#include "common/WholeTitles.h"

#include <QBoxLayout>
#include <QEvent>
#include <QFontMetrics>
#include <QWidget>
#include <algorithm>

namespace {
// The icon and the three buttons of a usual window frame, with their margins.
constexpr int kFrameParts = 160;
} // namespace

void WholeTitles::watch(QWidget *window) {
  if (!window)
    return;
  window->installEventFilter(this);
  Fit(window);
}

int WholeTitles::TitleWidth(const QWidget *window) {
  QFont font = window->font();
  font.setBold(true);
  return QFontMetrics(font).horizontalAdvance(window->windowTitle()) + kFrameParts;
}

bool WholeTitles::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::WindowTitleChange && watched->isWidgetType())
    Fit(static_cast<QWidget *>(watched));
  return false;
}

void WholeTitles::Fit(QWidget *window) {
  if (window->windowTitle().isEmpty())
    return;
  const int needed = TitleWidth(window);
  auto *box = qobject_cast<QBoxLayout *>(window->layout());
  const bool vertical = box && (box->direction() == QBoxLayout::TopToBottom ||
                                box->direction() == QBoxLayout::BottomToTop);
  // Through the layout where there is one, so that a layout that sets the
  // window's size keeps the width at its next pass.
  if (vertical) {
    const QMargins m = box->contentsMargins();
    box->addStrut(needed - m.left() - m.right());
  }
  if (window->minimumWidth() == window->maximumWidth()) {
    if (window->width() < needed)
      window->setFixedWidth(needed);
  } else if (!vertical) {
    window->setMinimumWidth(std::max(window->minimumWidth(), needed));
  }
  if (window->width() < needed)
    window->resize(needed, window->height());
}
