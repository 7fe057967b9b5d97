#pragma once
#include <QDialog>
#include <cstdint>
#include <memory>
#include <vector>

#include "link/IrdaLayout.h"

struct AppContext;
class IrdaTransport;
class ProgressBarHistory;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTimer;

// The instrument exchange window. The caller sets Tag to the exchange mode,
// applies the texts for it and shows the window modally; every
// AttemptIntervalMs the window looks for an instrument in infrared range,
// connects and carries out the mode's commands, until the work is done (OK)
// or the operator cancels (Cancel). Results are left in the process-wide
// records of ctx.state:
//   1 read history    RegState.DeviceId, ActivationTime, UserId; History;
//                     the events filed under the holder (HistoryFiled)
//   2 register        RegState.DeviceId (and ActivationTime with ClearAll)
//   3 read info       LastReadParams
//   4 write params    LastReadParams (read back after the writes)
//   5 clear history   RegState.DeviceId, UserId
//   6 clear DE        RegState.DeviceId, UserId
// exec() answers QDialog::Accepted for OK and QDialog::Rejected for Cancel.
class TFormRead : public QDialog {
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
  // The step result for a socket that cannot be created at all.
  static constexpr int SocketNotCreated = 0x1000009;

  explicit TFormRead(AppContext &ctx, QWidget *parent = nullptr);
  ~TFormRead() override;

  // The exchange mode, set by the caller before showing; 0 after closing.
  int Tag = 0;
  // Time between two attempts (the first one starts this long after showing).
  int AttemptIntervalMs = 3000;
  // Pause after a connection is made, before the first command.
  int ConnectPauseMs = 50;

  // Mode 1: true when this exchange has filed the history it read under the
  // instrument's holder; the caller must not file it again.
  bool HistoryFiled = false;
  // The result of the last attempt (0, -3, a link failure, SocketNotCreated,
  // or StoreFailed when filing the history failed).
  int LastResult = 0;
  static constexpr int StoreFailed = -100;

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

  // The steps of one attempt.
  int ConnectInstrument();
  int RunReadHistory();
  int RunRegister();
  int RunReadInfo();
  int RunWriteParameters();
  int RunClearHistory();
  int RunClearDose();

  // The close box and Esc: Cancel, deferred while an attempt runs.
  void reject() override;
  void done(int result) override;

protected:
  void showEvent(QShowEvent *event) override;

private:
  int RunStep();
  int BeginStep();
  int RunClear(bool history);
  int FileHistory(std::int32_t deviceId, std::int32_t userId);
  void ProcessMessages();
  void FitHeight();
  IrdaTransport &Link();
  void CloseConnection();
  QString Text(int entry) const;

  AppContext &ctx_;
  QLabel *panels_[2];
  std::unique_ptr<ProgressBarHistory> progress_;
  SOCKADDR_IRDA address_;
  DEVICELIST devices_;
  bool attemptRunning_ = false;
  bool cancelRequested_ = false;
  // What this exchange already filed (instrument and bytes), so that a retry
  // after a failed clear command does not file the same events twice.
  std::int32_t filedDevice_ = 0;
  std::vector<std::uint8_t> filedData_;
};
