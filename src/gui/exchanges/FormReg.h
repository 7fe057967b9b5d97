#pragma once
#include <QDialog>

struct AppContext;
class QLabel;
class QPushButton;
class QRadioButton;

// The registration options dialog: before an instrument is registered to a
// user, the operator chooses whether it keeps what it holds (RB_SaveAll) or is
// cleared and restarted (RB_ClearAll, preselected). Register closes with
// QDialog::Accepted, Cancel (also Esc and the close box) with
// QDialog::Rejected. After Accepted the caller copies RB_ClearAll's checked
// state into REG_STATE's ClearAll and runs the registration exchange. The
// choice stays as the operator left it for the next showing.
class TFormReg : public QDialog {
  Q_OBJECT
public:
  explicit TFormReg(AppContext &ctx, QWidget *parent = nullptr);

  // Copies the dialog's texts of the current language into its controls.
  void ApplyTexts();

  QRadioButton *RB_SaveAll;
  QRadioButton *RB_ClearAll;
  QLabel *L_ClearDE;
  QLabel *L_PCSync;
  QLabel *L_Recomend;
  QPushButton *SB_Reg;
  QPushButton *SB_Cancel;

  void SB_RegClick();
  void SB_CancelClick();

private:
  AppContext &ctx_;
};
