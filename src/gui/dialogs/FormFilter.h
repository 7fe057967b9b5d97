#pragma once
#include <QDialog>

struct AppContext;
class QCheckBox;

// The history filter: event kinds, a date interval and an instrument. Its
// date outputs (DateFilterActive, FilterBegin, FilterEnd) are the process-wide
// filter outputs in AppState; the main window copies FilterClause into
// AppState::Filter.FilterClause, the copy the history select reads.
class TFormFilter : public QDialog {
  Q_OBJECT
public:
  explicit TFormFilter(AppContext &ctx, QWidget *parent = nullptr);

  // The fragment built by the last "Filter on" or "Cancel all filters";
  // empty or starting with " AND".
  QString FilterClause;

  // Hidden; ticking it clears the window's criteria.
  QCheckBox *CB_CancelFilter = nullptr;

private:
  AppContext &ctx_;
};
