#pragma once
#include <QDialog>
#include <memory>

#include "exchange/ExchangeObserver.h"
#include "exchange/ExchangeResult.h"
#include "exchange/InstrumentSession.h"
#include "lang/ProgramTexts.h"

struct AppContext;
class ProgressBarHistory;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTimer;

// The instrument exchange window. The caller sets Tag to the exchange mode,
// applies the texts for it and shows the window modally; every
// AttemptIntervalMs the window has the instrument session make one attempt,
// and shows its progress, until the work is done (OK) or the operator
// cancels (Cancel). The last attempt's result is in Result(); the window also
// leaves in ctx.state:
//   1 read history    RegState.DeviceId, ActivationTime, UserId and names
//   2 register        RegState.DeviceId (and ActivationTime with ClearAll)
//   3 read info       LastReadParams
//   4 write params    LastReadParams (read back after the writes)
//   5 clear history   RegState.DeviceId, UserId
//   6 clear DE        RegState.DeviceId, UserId
// exec() answers QDialog::Accepted for OK and QDialog::Rejected for Cancel.
class TFormRead : public QDialog, private ExchangeObserver {
  Q_OBJECT
public:
  enum Mode {
    ReadHistoryMode = 1,
    RegisterMode = 2,
    ReadInfoMode = 3,
    WriteParametersMode = 4,
    ClearHistoryMode = 5,
    ClearDoseMode = 6
  };

  explicit TFormRead(AppContext &ctx, QWidget *parent = nullptr);
  ~TFormRead() override;

  // The exchange mode, set by the caller before showing; 0 after closing.
  int Tag = 0;
  // Time between two attempts (the first one starts this long after showing).
  int AttemptIntervalMs = 3000;
  // Pause after a connection is made, before the first command.
  int ConnectPauseMs = 50;

  // What the last attempt of this showing did.
  const ExchangeResult &Result() const { return result_; }
  // Attempts made since the window was shown.
  int Attempts() const { return attempts_; }
  // A connection an interrupted attempt left open (closed at the next tick).
  bool ConnectionOpen() const;

  // Caption and instruction for the exchange kind (the mode).
  void ApplyTexts(int kind);

  QLabel *L_Instruction;
  QPushButton *SB_Cancel;
  QLabel *ImageIrGreen;
  QLabel *ImageIrRed;
  QLabel *ImConnect;
  QStatusBar *StatusBar1;
  QListWidget *lbxDevices;
  QProgressBar *PBarHistory;
  QTimer *TimerIm;
  QTimer *Timer_Read;
  int TimerImTag = 0; // devices found by the last search

  QString StatusPanel(int panel) const;
  void SetStatusPanel(int panel, const QString &text);

  // Event handlers.
  void FormShow();
  void FormClose();
  void SB_CancelClick();
  void TimerImTimer();
  void Timer_ReadTimer();

  // The close box and Esc: Cancel, passed to the running attempt.
  void reject() override;
  void done(int result) override;

protected:
  void showEvent(QShowEvent *event) override;

private:
  // What the session shows while it runs.
  void StatusChanged(Status status, int code) override;
  void DevicesFound(int count, const QString &firstName) override;
  void Connecting() override;
  void ModemLinesReported(int lines) override;
  void TransferStarted() override;
  void TransferEnded() override;
  HistoryProgress *Progress() override;
  void Breathe() override;

  InstrumentSession &Session();
  void KeepResult();
  void FitHeight();
  QString Text(int entry) const;
  QString ProgramTextNow(ProgramText text) const;
  // A serial port that cannot be opened: its cause in the panel and the
  // device list (other codes: nothing).
  void ShowPortProblem(int code);
  // After an attempt that failed: the attempts so far and why this one failed.
  void ShowFailedAttempt();

  AppContext &ctx_;
  QLabel *panels_[2];
  std::unique_ptr<ProgressBarHistory> progress_;
  std::unique_ptr<InstrumentSession> session_;
  ExchangeResult result_;
  int attempts_ = 0; // attempts of this showing
  bool attemptRunning_ = false;
  bool cancelRequested_ = false;
};
