#pragma once
#include <QDateTime>
#include <QDialog>

struct AppContext;
class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

// Deletes a person's stored history, whole or in part: by instrument, by a
// date/time interval, or both. Closes with OK when the delete ran, with
// Cancel when the operator cancelled or the delete failed.
class TFormDeleteHistory : public QDialog {
  Q_OBJECT
public:
  explicit TFormDeleteHistory(AppContext &ctx, QWidget *parent = nullptr);

  // Set by the caller before showing the window.
  int UserKey = -1;
  QLabel *L_SecFirstName = nullptr; // second name, a blank, first name
  QLabel *LMiddleName = nullptr;

  // Applies the texts of the language in use (done at every showing).
  void ApplyTexts();

  QLabel *LUser = nullptr;
  QGroupBox *GBDelete = nullptr;
  QRadioButton *RB_All = nullptr;
  QRadioButton *RB_PartHistory = nullptr;
  QFrame *PanelPart = nullptr;
  QCheckBox *CB_Device = nullptr;
  QComboBox *cmb_Device = nullptr;
  QCheckBox *CB_DateTime = nullptr;
  QLabel *L_FromDateTime = nullptr;
  QDateTimeEdit *TimeFrom = nullptr;
  QDateTimeEdit *DateFrom = nullptr;
  QLabel *L_ToDateTime = nullptr;
  QDateTimeEdit *TimeTo = nullptr;
  QDateTimeEdit *DateTo = nullptr;
  QPushButton *SB_Delete = nullptr;
  QPushButton *SB_Cancel = nullptr;

  void FormShow();
  void RB_PartHistoryClick();
  void TimeFromChange(QDateTimeEdit *picker);
  void SB_DeleteClick();
  void SB_CancelClick();

  // The interval the pickers give as day counts, begin not after end.
  void Interval(double &begin, double &end) const;

  // Every exit (OK, Cancel, Esc, close box) restores the normal cursor.
  void done(int result) override;

protected:
  void showEvent(QShowEvent *event) override;

private:
  void FillDevices();
  void SetUpInterval();
  void ShowDateCriterion(bool visible);

  AppContext &ctx_;
  // The first and last event as the database holds them, and the picker
  // values they were shown as: an interval left as offered covers exactly
  // the stored first and last events, whatever their sub-millisecond digits.
  double firstEvent_ = 0, lastEvent_ = 0;
  QDateTime firstShown_, lastShown_;
};
