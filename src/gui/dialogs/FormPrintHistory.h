#pragma once
#include <QDialog>

struct AppContext;

// The printed report of a person's history.
class TFormPrintHistory : public QDialog {
  Q_OBJECT
public:
  explicit TFormPrintHistory(AppContext &ctx, QWidget *parent = nullptr);

  // Binds the report to the data module's history query as the history list
  // left it (opened when it is closed), with `userLine` under the title,
  // applies the texts and opens the print preview. False, with nothing shown,
  // when the query cannot be opened.
  bool ShowReport(const QString &userLine);

private:
  AppContext &ctx_;
};
