#pragma once
#include <QDialog>

#include "history/HistoryFilter.h"

struct AppContext;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QFrame;
class QLabel;
class QPushButton;
class QTimeEdit;

// The history filter: event kinds, a date interval and an instrument. The
// main window copies Criteria into AppState::Filter, the criteria the history
// select reads.
//
// Created once; ticks and picker values stay between openings, the instrument
// list is rebuilt at every showing. Closes with OK after "Filter on" or
// "Cancel all filters", with Cancel otherwise.
class TFormFilter : public QDialog {
  Q_OBJECT
public:
  explicit TFormFilter(AppContext &ctx, QWidget *parent = nullptr);

  // The criteria of the last "Filter on"; empty after "Cancel all filters".
  HistoryCriteria Criteria;

  // Hidden; ticking it clears the window's criteria.
  QCheckBox *CB_CancelFilter = nullptr;

  // Applies the texts of the language in use (done at every showing).
  void ApplyTexts();

  // The operator's choices as the window holds them now.
  HistoryFilterChoice Choice() const;

  // The date row.
  QFrame *PanelDT = nullptr;
  QCheckBox *CB_DateTime = nullptr;
  QLabel *L_FromDateTime = nullptr;
  QTimeEdit *TimeFrom = nullptr;
  QDateEdit *DateFrom = nullptr;
  QLabel *L_ToDateTime = nullptr;
  QTimeEdit *TimeTo = nullptr;
  QDateEdit *DateTo = nullptr;
  QLabel *Lformat = nullptr;
  QLabel *LformatTo = nullptr;
  QLabel *LDateFormat = nullptr;
  QLabel *LDateFormatTo = nullptr;

  // The event boxes.
  QFrame *PanelEvent = nullptr;
  QCheckBox *CB_Event = nullptr;
  QCheckBox *CB_Alarm_Gamma = nullptr;
  QCheckBox *CB_Alarm_Phosphorum = nullptr;
  QCheckBox *CB_Alarm_Arsenium = nullptr;
  QCheckBox *CB_OnOff = nullptr;
  QCheckBox *CB_RecHand = nullptr;
  QCheckBox *CB_TimeAlarm = nullptr;
  QCheckBox *CB_DEAlarm = nullptr;
  QCheckBox *CB_Battary = nullptr;

  // The instrument.
  QFrame *PanelDevice = nullptr;
  QCheckBox *CB_OnDevice = nullptr;
  QComboBox *cmb_Device = nullptr;

  QPushButton *SB_Apply = nullptr;
  QPushButton *SB_CancelFilter = nullptr;
  QPushButton *SB_ClearForm = nullptr;
  QPushButton *SB_Close = nullptr;

protected:
  void showEvent(QShowEvent *event) override;

private:
  void FormCreate();
  void FormShow();
  void FillDeviceList();
  void LayoutWindow();
  void LayoutDateRow();

  void CB_EventClick();
  void CB_DateTimeClick();
  void CB_OnDeviceClick();
  void CB_CancelFilterClick();
  void SB_ApplyClick();
  void SB_CancelFilterClick();
  void SB_ClearFormClick();

  // The event boxes in the order their conditions are written.
  std::array<QCheckBox *, FilterEventCount> EventBoxes() const;
  // The same boxes top to bottom as the panel shows them.
  std::array<QCheckBox *, FilterEventCount> EventBoxesShown() const;

  AppContext &ctx_;
};
