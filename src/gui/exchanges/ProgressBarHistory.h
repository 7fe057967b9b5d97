#pragma once
#include "link/InstrumentProtocol.h"

class QProgressBar;

// The exchange window's progress bar as the history transfer's progress sink.
class ProgressBarHistory : public HistoryProgress {
public:
  explicit ProgressBarHistory(QProgressBar *bar) : bar_(bar) {}
  void setRange(int minimum, int maximum) override;
  int position() const override;
  int maximum() const override;
  void setPosition(int position) override;
  void step() override;
  void repaint() override;

  static constexpr int Step = 10;

private:
  QProgressBar *bar_;
};
