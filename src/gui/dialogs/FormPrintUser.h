#pragma once
#include <QDialog>

struct AppContext;

// The printed report of the user list.
class TFormPrintUser : public QDialog {
  Q_OBJECT
public:
  explicit TFormPrintUser(AppContext &ctx, QWidget *parent = nullptr);

  // Binds the report to the data module's user query (opened when it is
  // closed), applies the texts and opens the print preview. False, with
  // nothing shown, when the query cannot be opened.
  bool ShowReport();

private:
  AppContext &ctx_;
};
