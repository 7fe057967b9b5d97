#pragma once
#include <QString>
#include <memory>

#include "exchange/ExchangeObserver.h"
#include "exchange/ExchangeRecords.h"
#include "exchange/ExchangeResult.h"
#include "link/DeviceParams.h"
#include "link/IrdaStack.h"

class Clock;
class IrdaTransport;

// What the caller wants from an exchange besides its mode.
struct ExchangeRequest {
  bool KeepHistory = false;    // read history: leave the instrument's history in it
  bool ClearAll = false;       // register: set the clock, clear history and DE
  DEVICE_PARAMS ParamsToWrite; // write parameters: what to write and do
};

// One attempt at an exchange with the instrument in infrared range: it
// connects (socket, search, connection, a short pause), sends the mode's
// commands, files a history it read before it clears anything, closes the
// connection and answers what happened. It runs on the caller's thread; the
// observer sees its progress and lets the window breathe, and Cancel is
// honoured between commands and between receives.
class InstrumentSession {
public:
  static constexpr qint32 MaxDeviceNumber = 9999999;

  // `records` may be null: nothing can be filed or looked up then.
  InstrumentSession(std::shared_ptr<IrdaTransport> link, ExchangeRecords *records,
                    std::shared_ptr<Clock> clock);
  ~InstrumentSession();
  InstrumentSession(const InstrumentSession &) = delete;
  InstrumentSession &operator=(const InstrumentSession &) = delete;

  void SetObserver(ExchangeObserver *observer) { observer_ = observer; }
  void SetRecords(ExchangeRecords *records) { records_ = records; }

  // Pause after a connection is made, before the first command.
  int ConnectPauseMs = 50;

  ExchangeResult Run(ExchangeMode mode, const ExchangeRequest &request = {});
  ExchangeResult ReadHistory(bool keepHistory);
  ExchangeResult Register(bool clearAll);
  ExchangeResult ReadInformation();
  ExchangeResult WriteParameters(const DEVICE_PARAMS &wanted);
  ExchangeResult ClearHistory();
  ExchangeResult ClearDose();

  // The operator cancelled: the running exchange stops at the next command
  // or receive. Cleared when the next exchange starts.
  void RequestCancel() { cancelled_ = true; }
  bool CancelRequested() const { return cancelled_; }

  // A connection an interrupted exchange left open, and closing it.
  bool ConnectionOpen() const { return socket_ != 0; }
  void CloseConnection();

  // The line the support log (lcLink) gets for every exchange: mode,
  // instrument, commands sent, outcome, link code, history bytes, events
  // filed, holder key, duration. No names.
  static QString SupportLogLine(ExchangeMode mode, const ExchangeResult &result, qint64 ms);

private:
  ExchangeResult Dispatch(ExchangeMode mode, const ExchangeRequest &request);
  ExchangeResult RunReadHistory(bool keepHistory);
  ExchangeResult RunRegister(bool clearAll);
  ExchangeResult RunReadInformation();
  ExchangeResult RunWriteParameters(const DEVICE_PARAMS &wanted);
  ExchangeResult RunClear(bool history);
  int Connect();
  // Connects, letting the window breathe before and after; Run calls it
  // before any mode.
  int BeginStep();
  // The n command; a number no instrument can have is LinkBadDeviceNumber.
  int ReadNumber(qint32 &deviceId);
  // Whether the next command may be sent: the last one succeeded and the
  // operator has not cancelled (then the exchange counts as stopped).
  bool Go(int code);
  void Finish(ExchangeResult &result, int code) const;
  void Status(ExchangeObserver::Status status, int code = 0);
  void Breathe();
  double NowToTheSecond() const;
  void Forget(qint32 deviceId);

  std::shared_ptr<IrdaTransport> linkOwner_; // kept alive while a connection may be open
  IrdaTransport &link_;
  ExchangeRecords *records_;
  std::shared_ptr<Clock> clock_;
  ExchangeObserver *observer_ = nullptr;
  IrdaSocket socket_ = 0;
  bool cancelled_ = false;
  bool stopped_ = false; // a command was left out because of Cancel
  int searchCode_ = 0;   // of this attempt's search
  bool connected_ = false;
};

// An outcome's name as the support log writes it.
const char *ExchangeOutcomeName(ExchangeOutcome outcome);
