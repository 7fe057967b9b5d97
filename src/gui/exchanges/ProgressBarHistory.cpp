#include "exchanges/ProgressBarHistory.h"

#include <QProgressBar>

void ProgressBarHistory::setRange(int minimum, int maximum) {
  bar_->setRange(minimum, maximum);
}

int ProgressBarHistory::position() const {
  return bar_->value();
}

int ProgressBarHistory::maximum() const {
  return bar_->maximum();
}

void ProgressBarHistory::setPosition(int position) {
  bar_->setValue(position);
}

void ProgressBarHistory::step() {
  // Past the maximum the bar starts again at its minimum.
  int next = bar_->value() + Step;
  if (next > bar_->maximum())
    next = bar_->minimum();
  bar_->setValue(next);
}

void ProgressBarHistory::repaint() {
  bar_->repaint();
}
