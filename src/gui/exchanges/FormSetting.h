#pragma once
#include <QDialog>

struct AppState;
class TextTable;
class QCheckBox;
class QComboBox;
class QGroupBox;
class TConnectionGroup;
class TDoseLimitsGroup;
class QLabel;
class QPushButton;
class QRadioButton;

// The program settings dialog: the unit of dose values in history lists and
// whether the dialog opens at start, and the connection to instruments (the
// connection group, TConnectionGroup), and the dose limits (TDoseLimitsGroup).
//
// OK closes with QDialog::Accepted, Cancel (also Esc and the close box) with
// QDialog::Rejected. The dialog changes no settings itself; the caller takes
// them from CBShow, RB_ShowRh, GBSetting and GB_Limits after OK. OK with a
// limit that cannot be taken keeps the dialog open with the field named.
class TFormSetting : public QDialog {
  Q_OBJECT
public:
  explicit TFormSetting(AppState &state, QWidget *parent = nullptr);

  // Copies the dialog's texts of the current language into its controls.
  void ApplyTexts(const TextTable &texts);

  QLabel *L_Database; // the database in use
  QPushButton *SB_Ok;
  QPushButton *SB_Cancel;
  QCheckBox *CBShow;
  QGroupBox *GB_ShowHistory;
  QRadioButton *RB_ShowSv;
  QRadioButton *RB_ShowRh;
  TConnectionGroup *GBSetting;
  TDoseLimitsGroup *GB_Limits; // the dose limits, checked at OK
  QRadioButton *RBSock;
  QRadioButton *RBPort;
  QLabel *L_Port;
  QComboBox *CmbPort;

  void FormShow();
  void SB_OkClick();
  void SB_CancelClick();

protected:
  void showEvent(QShowEvent *event) override;

private:
  AppState &state_;
};
