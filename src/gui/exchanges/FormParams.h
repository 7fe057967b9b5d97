#pragma once
#include <QDialog>
#include <functional>

#include "link/ParamsForm.h"

struct AppContext;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;
class QTimeEdit;
class QWidget;

// The instrument's settings: read them, change them, write them back. The
// window never talks to the instrument itself; Read and Record run the
// exchange window (mode 3 reads into LastReadParams, mode 4 writes
// ParamsToWrite and reads the instrument back into LastReadParams).
//
// Thresholds are shown in mSv/h and mSv, or in mR/h and mR when the unit
// switch is on Roentgen.
class TFormParams : public QDialog {
  Q_OBJECT
public:
  explicit TFormParams(AppContext &ctx, QWidget *parent = nullptr);

  // Exchange modes this window runs.
  static constexpr int ModeReadInfo = 3;
  static constexpr int ModeWriteParameters = 4;

  // Runs the exchange window in a mode and tells whether it closed with OK.
  // Defaults to RunExchangeWindow; tests put a step of their own here.
  std::function<bool(int mode)> RunExchange;
  // Sets the exchange window's mode, applies its texts for that mode and
  // shows it modally.
  static bool RunExchangeWindow(AppContext &ctx, int mode);

  // Copies the texts of the current language into the controls; the
  // threshold labels follow the unit selected at this moment.
  void ApplyTexts();

  // Fills the controls from LastReadParams.
  void ShowDeviceParams();
  // Fills ParamsToWrite from the controls; false (record untouched) when a
  // number cannot be read.
  bool CollectDeviceParams();
  // What the controls hold now.
  ParamsFormValues FormValues() const;

  // Selected item of the unit switch: 0 Sievert, 1 Roentgen. Selecting an
  // item runs the switch's handler, as a click does.
  int UnitItem() const;
  void SetUnitItem(int item);
  // The unit of the texts in the threshold edits (the radio group's tag).
  int UnitTag() const { return unitTag_; }

  void FormShow();
  void SB_ReadClick();
  void SB_WriteClick();
  void SB_CloseClick();
  void CB_SoundClick();
  void cbTimeIndicationControlClick();
  void rgpUnitOfMeasurementsClick();
  void TrBarBrightnessChange();
  void Ed_Threshold_GammaChange(QLineEdit *edit);
  void Ed_Threshold_GammaExit(QLineEdit *edit);
  void Ed_history_intervalExit();
  void cmb_TimeIndicationChange();

  QPushButton *SB_Read;
  QPushButton *SB_Write;
  QPushButton *SB_Close;
  QTabWidget *PageControlParams;
  QWidget *tsGeneral;
  QWidget *tsMeasurements;
  QWidget *tsOthers;
  QLabel *L_num;
  QLabel *L_history_interval;
  QLineEdit *Ed_history_interval;
  QGroupBox *L_DateTimeActive;
  QTimeEdit *Ed_TimeActive;
  QDateEdit *Ed_DateActive;
  QCheckBox *CB_Sync;
  QLabel *L_TimePC;
  QCheckBox *CB_ClearHist;
  QCheckBox *CB_Sound;
  QRadioButton *rbLoudly;
  QRadioButton *rbSilent;
  QCheckBox *CB_ButtonSound;
  QCheckBox *cbCalendar;
  QGroupBox *rgpUnitOfMeasurements;
  QRadioButton *rbUnitSievert;  // item 0
  QRadioButton *rbUnitRoentgen; // item 1
  QGroupBox *gbxThresholdsRadiation;
  QLabel *L_ThresholdDER;
  QLineEdit *Ed_ThresholdDER;
  QLabel *L_ThresholdDE;
  QLineEdit *Ed_ThresholdDE;
  QLabel *LBrightness;
  QLabel *L_min;
  QLabel *L_max;
  QSlider *TrBarBrightness;
  QFrame *ShapeColor;
  QCheckBox *cbTimeIndicationControl;
  QLabel *L_TimeIndication;
  QComboBox *cmb_TimeIndication;
  // Channel and mode controls of the form that stay hidden.
  QLabel *L_Threshold_Gamma;
  QLineEdit *Ed_Threshold_Gamma;
  QLabel *L_Gamma;
  QLabel *L_Chemistry;
  QCheckBox *cbRadiationChannel;
  QCheckBox *cbChemicalChannel;
  QGroupBox *GB_ModeJob;
  QCheckBox *cbDER;
  QCheckBox *cbDE;

protected:
  void showEvent(QShowEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void BuildGeneralPage();
  void BuildMeasurementsPage();
  void BuildOthersPage();
  void SetThresholdLabels();
  void ShowNothingRead();
  void ShowOptions(const ParamsFormValues &values);
  // A field the instrument cannot take: told by name, its page brought
  // forward and the field focused. False when every field fits.
  bool RefuseUnfitField();
  void SetEditText(QLineEdit *edit, const QString &text);
  void CheckThreshold(QLineEdit *edit, bool typing);
  bool NumberKeyPress(QLineEdit *edit, const QString &typed);
  bool DelayKeyPress(const QString &typed);
  QChar DecimalPoint() const;

  AppContext &ctx_;
  int unitTag_ = 0;
  bool checkingText_ = false; // an edit's text is being corrected by its own handler
};
