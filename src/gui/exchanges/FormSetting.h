#pragma once
#include <QDialog>

struct AppState;
class TextTable;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

// The program settings dialog: the unit of dose values in history lists and
// whether the dialog opens at start. Its connection group stays hidden: the
// instrument is always reached over the IrDA socket.
//
// OK closes with QDialog::Accepted, Cancel (also Esc and the close box) with
// QDialog::Rejected. The dialog changes no settings itself; the caller takes
// them from CBShow and RB_ShowRh after OK.
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
  QGroupBox *GBSetting;
  QRadioButton *RBSock;
  QRadioButton *RBPort;
  QLabel *L_Port;
  QComboBox *CmbPort;

  void FormShow();
  void SB_OkClick();
  void SB_CancelClick();
  void RBSockClick();
  void RBPortClick();

protected:
  void showEvent(QShowEvent *event) override;

private:
  AppState &state_;
};
