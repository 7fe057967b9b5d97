#pragma once
#include <QDialog>

struct AppContext;
class JournalModel;
class QPushButton;
class QTableView;

// The journal view: every change of the register and the history, newest
// first, with the desk and user that made it. It only shows; the journal is
// never changed.
class TFormJournal : public QDialog {
  Q_OBJECT
public:
  explicit TFormJournal(AppContext &ctx, QWidget *parent = nullptr);

  // Reads the journal and shows it modally; false, after telling the operator
  // why, when it cannot be read.
  bool ShowJournal();

  QTableView *TV_Journal;
  QPushButton *SB_Close;
  JournalModel *Rows;

private:
  AppContext &ctx_;
};
