#include "exchange/InstrumentSession.h"

#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <cstring>
#include <utility>

#include "history/DayCount.h"
#include "link/HistoryArea.h"
#include "link/InstrumentProtocol.h"
#include "link/IrdaTransport.h"
#include "link/LinkCodes.h"
#include "link/ParameterBlock.h"
#include "log/SupportLog.h"
#include "state/Clock.h"

namespace {

// The connect step's own code for a socket that cannot be created at all.
constexpr int SocketNotCreatedCode = IrdaSocketNotCreated;

// Counts the history blocks received whole, passing each step on to the
// window's progress bar when there is one.
class BlockCounter : public HistoryProgress {
public:
  explicit BlockCounter(HistoryProgress *shown) : shown_(shown) {}
  int Blocks() const { return blocks_; }
  void setRange(int minimum, int maximum) override {
    if (shown_)
      shown_->setRange(minimum, maximum);
    else
      maximum_ = maximum;
  }
  int position() const override { return shown_ ? shown_->position() : position_; }
  int maximum() const override { return shown_ ? shown_->maximum() : maximum_; }
  void setPosition(int position) override {
    if (shown_)
      shown_->setPosition(position);
    else
      position_ = position;
  }
  void step() override {
    ++blocks_;
    if (shown_)
      shown_->step();
    else
      ++position_;
  }
  void repaint() override {
    if (shown_)
      shown_->repaint();
  }

private:
  HistoryProgress *shown_;
  int blocks_ = 0;
  int position_ = 0;
  int maximum_ = 100;
};

// Puts the session's hooks into the transport while an exchange runs and
// takes them out again afterwards.
class LinkHooks {
public:
  LinkHooks(IrdaTransport &link, std::function<void()> breathe, std::function<bool()> cancelled)
      : link_(link), breathe_(std::exchange(link.ProcessMessages, std::move(breathe))),
        cancelled_(std::exchange(link.CancelRequested, std::move(cancelled))) {}
  ~LinkHooks() {
    link_.ProcessMessages = std::move(breathe_);
    link_.CancelRequested = std::move(cancelled_);
  }
  LinkHooks(const LinkHooks &) = delete;
  LinkHooks &operator=(const LinkHooks &) = delete;

private:
  IrdaTransport &link_;
  std::function<void()> breathe_;
  std::function<bool()> cancelled_;
};

const char *ModeName(ExchangeMode mode) {
  switch (mode) {
  case ExchangeMode::ReadHistory:
    return "read history";
  case ExchangeMode::Register:
    return "register";
  case ExchangeMode::ReadInformation:
    return "read information";
  case ExchangeMode::WriteParameters:
    return "write parameters";
  case ExchangeMode::ClearHistory:
    return "clear history";
  case ExchangeMode::ClearDose:
    return "clear DE";
  }
  return "unknown";
}

} // namespace

const char *ExchangeOutcomeName(ExchangeOutcome outcome) {
  switch (outcome) {
  case ExchangeOutcome::Done:
    return "done";
  case ExchangeOutcome::LinkFailed:
    return "link failed";
  case ExchangeOutcome::SocketNotCreated:
    return "socket not created";
  case ExchangeOutcome::BadActivationTime:
    return "bad activation time";
  case ExchangeOutcome::FilingFailed:
    return "filing failed";
  case ExchangeOutcome::NotRegistered:
    return "not registered";
  case ExchangeOutcome::Cancelled:
    return "cancelled";
  }
  return "unknown";
}

InstrumentSession::InstrumentSession(std::shared_ptr<IrdaTransport> link, ExchangeRecords *records,
                                     std::shared_ptr<Clock> clock)
    : linkOwner_(std::move(link)), link_(*linkOwner_), records_(records), clock_(std::move(clock)) {
}

InstrumentSession::~InstrumentSession() {
  CloseConnection();
}

void InstrumentSession::CloseConnection() {
  if (socket_ != 0)
    link_.IrdaClose(socket_);
}

void InstrumentSession::Status(ExchangeObserver::Status status, int code) {
  if (observer_)
    observer_->StatusChanged(status, code);
}

void InstrumentSession::Breathe() {
  if (observer_)
    observer_->Breathe();
}

double InstrumentSession::NowToTheSecond() const {
  // The instrument keeps whole seconds.
  const QDateTime now = clock_ ? clock_->now() : QDateTime::currentDateTime();
  const QTime t = now.time();
  return DayCountOf(now.date(), QTime(t.hour(), t.minute(), t.second()));
}

void InstrumentSession::Forget(qint32 deviceId) {
  if (records_)
    records_->ForgetFiledReading(deviceId);
}

QString InstrumentSession::SupportLogLine(ExchangeMode mode, const ExchangeResult &result,
                                          qint64 ms) {
  return QStringLiteral("exchange mode=%1 device=%2 commands=%3 outcome=%4 code=%5 bytes=%6 "
                        "filed=%7 holder=%8 ms=%9")
      .arg(QLatin1String(ModeName(mode)))
      .arg(result.DeviceId)
      .arg(QString::fromStdString(result.Commands.empty() ? std::string("-") : result.Commands))
      .arg(QLatin1String(ExchangeOutcomeName(result.outcome)))
      .arg(result.linkCode)
      .arg(result.History.size())
      .arg(result.EventsFiled)
      .arg(result.holder.UserId)
      .arg(ms);
}

ExchangeResult InstrumentSession::ReadHistory(bool keepHistory) {
  ExchangeRequest request;
  request.KeepHistory = keepHistory;
  return Run(ExchangeMode::ReadHistory, request);
}

ExchangeResult InstrumentSession::Register(bool clearAll) {
  ExchangeRequest request;
  request.ClearAll = clearAll;
  return Run(ExchangeMode::Register, request);
}

ExchangeResult InstrumentSession::ReadInformation() {
  return Run(ExchangeMode::ReadInformation);
}

ExchangeResult InstrumentSession::WriteParameters(const DEVICE_PARAMS &wanted) {
  ExchangeRequest request;
  request.ParamsToWrite = wanted;
  return Run(ExchangeMode::WriteParameters, request);
}

ExchangeResult InstrumentSession::ClearHistory() {
  return Run(ExchangeMode::ClearHistory);
}

ExchangeResult InstrumentSession::ClearDose() {
  return Run(ExchangeMode::ClearDose);
}

bool InstrumentSession::Go(int code) {
  if (code != LinkOk)
    return false;
  if (cancelled_) {
    stopped_ = true;
    return false;
  }
  return true;
}

ExchangeResult InstrumentSession::Run(ExchangeMode mode, const ExchangeRequest &request) {
  cancelled_ = false;
  stopped_ = false;
  searchCode_ = 0;
  connected_ = false;
  QElapsedTimer clock;
  clock.start();
  ExchangeResult result;
  {
    LinkHooks hooks(
        link_, [this] { Breathe(); }, [this] { return cancelled_; });
    // Every mode begins by connecting; a mode runs only on a connection.
    const int connected = BeginStep();
    if (connected != LinkOk)
      Finish(result, connected);
    else
      result = Dispatch(mode, request);
  }
  result.SearchCode = searchCode_;
  result.Connected = connected_;
  qCInfo(lcLink).noquote() << SupportLogLine(mode, result, clock.elapsed());
  return result;
}

ExchangeResult InstrumentSession::Dispatch(ExchangeMode mode, const ExchangeRequest &request) {
  switch (mode) {
  case ExchangeMode::ReadHistory:
    return RunReadHistory(request.KeepHistory);
  case ExchangeMode::Register:
    return RunRegister(request.ClearAll);
  case ExchangeMode::ReadInformation:
    return RunReadInformation();
  case ExchangeMode::WriteParameters:
    return RunWriteParameters(request.ParamsToWrite);
  case ExchangeMode::ClearHistory:
    return RunClear(true);
  case ExchangeMode::ClearDose:
    return RunClear(false);
  }
  ExchangeResult none;
  none.linkCode = LinkFailed;
  return none;
}

void InstrumentSession::Finish(ExchangeResult &result, int code) const {
  result.linkCode = code;
  if (result.outcome == ExchangeOutcome::FilingFailed ||
      result.outcome == ExchangeOutcome::NotRegistered)
    return;
  if (code == LinkOk)
    result.outcome = stopped_ ? ExchangeOutcome::Cancelled : ExchangeOutcome::Done;
  else if (code == LinkBadActivationTime)
    result.outcome = ExchangeOutcome::BadActivationTime;
  else if (code == SocketNotCreatedCode)
    result.outcome = ExchangeOutcome::SocketNotCreated;
  else if (code == LinkCancelled || cancelled_)
    result.outcome = ExchangeOutcome::Cancelled;
  else
    result.outcome = ExchangeOutcome::LinkFailed;
}

int InstrumentSession::Connect() {
  if (socket_ != 0)
    return LinkOk;
  SOCKADDR_IRDA address{};
  int code = link_.IrdaOpen(address, socket_);
  if (code == IrdaSocketCreated)
    Status(ExchangeObserver::Status::Searching);
  if (code == LinkFailed || code == IrdaSocketNotCreated) {
    link_.IrdaClose(socket_);
    return SocketNotCreatedCode;
  }

  DEVICELIST devices{};
  devices.setCount(0);
  code = link_.IrdaFindDevices(devices, socket_);
  const int found =
      static_cast<int>(std::min<std::uint32_t>(devices.count(), DEVICELIST::MaxDevices));
  searchCode_ = code == LinkOk && found == 0 ? LinkNoDevice : code;
  QString firstName;
  if (code == LinkOk && found > 0) {
    const char *name = devices.Device[0].irdaDeviceName;
    firstName = QString::fromLatin1(
        name, static_cast<qsizetype>(strnlen(name, sizeof devices.Device[0].irdaDeviceName)));
  }
  if (observer_)
    observer_->DevicesFound(found, firstName);
  if (code == LinkOk)
    Status(ExchangeObserver::Status::Finding);
  else
    Status(ExchangeObserver::Status::NotFound, code == LinkNoDevice ? 0 : code);
  if (code != LinkOk || found == 0) {
    link_.IrdaClose(socket_);
    return LinkFailed;
  }

  if (observer_)
    observer_->Connecting();
  Breathe();
  code = link_.IrdaConnect(0, socket_, devices, address);
  if (code != LinkOk) {
    Status(ExchangeObserver::Status::ConnectFailed);
    link_.IrdaClose(socket_);
    return code;
  }
  connected_ = true;
  Status(ExchangeObserver::Status::Connected);
  if (const int lines = link_.Stack().ModemLines(socket_); lines >= 0 && observer_)
    observer_->ModemLinesReported(lines);
  if (ConnectPauseMs > 0)
    QThread::msleep(static_cast<unsigned long>(ConnectPauseMs));
  Breathe();
  return LinkOk;
}

int InstrumentSession::ReadNumber(qint32 &deviceId) {
  const int code = ReadDeviceNumber(link_, socket_, deviceId);
  // Only 1 .. 9,999,999 are instrument numbers; -1 is the register's own
  // "no instrument".
  if (code == LinkOk && (deviceId < 1 || deviceId > MaxDeviceNumber))
    return LinkBadDeviceNumber;
  return code;
}

int InstrumentSession::BeginStep() {
  Breathe();
  if (cancelled_) {
    stopped_ = true;
    return LinkCancelled;
  }
  const int code = Connect();
  Breathe();
  return code;
}

ExchangeResult InstrumentSession::RunReadHistory(bool keepHistory) {
  ExchangeResult result;
  int code = LinkOk;
  HistoryProgress *progress = observer_ ? observer_->Progress() : nullptr;
  if (observer_)
    observer_->TransferStarted();

  result.Commands += 'n';
  code = ReadNumber(result.DeviceId);
  if (progress)
    progress->step();
  if (Go(code)) {
    std::uint8_t reply[ActivationReplyLength] = {};
    int replyLength = ActivationReplyLength;
    result.Commands += 'T';
    code = ReadActivationFrame(link_, socket_, reply, replyLength);
    if (progress)
      progress->step();
    if (replyLength != ActivationReplyLength)
      code = LinkBadActivationTime;
    if (code == LinkOk) {
      result.HasActivationTime = DecodeActivationTime(reply, replyLength, result.ActivationTime);
      if (!result.HasActivationTime)
        code = LinkBadActivationTime;
    }
  }
  if (Go(code)) {
    std::vector<std::uint8_t> area(HistoryArea::Capacity);
    int length = 0;
    result.Commands += 'H';
    BlockCounter blocks(progress);
    code = ::ReadHistory(link_, socket_, area, length, &blocks);
    result.HistoryBlocks = blocks.Blocks();
    if (code == LinkOk) {
      area.resize(static_cast<std::size_t>(length));
      result.History = std::move(area);
    }
  }
  if (Go(code)) {
    // Filed first: the instrument is cleared only once its events are stored.
    FilingResult filing;
    if (records_)
      filing = records_->FileReading(result.DeviceId, result.History);
    result.holder = filing.holder;
    result.EventsFiled = filing.EventsFiled;
    result.FiledDose = std::move(filing.FiledDose);
    if (filing.outcome == FilingResult::Outcome::Failed) {
      result.outcome = ExchangeOutcome::FilingFailed;
    } else if (filing.outcome == FilingResult::Outcome::Filed && !keepHistory && Go(code)) {
      result.Commands += 'C';
      code = ::ClearHistory(link_, socket_);
      if (code == LinkOk)
        Forget(result.DeviceId);
    }
  }
  Breathe();
  const bool ok = code == LinkOk && result.outcome != ExchangeOutcome::FilingFailed;
  Status(ok ? ExchangeObserver::Status::ReadDone : ExchangeObserver::Status::ReadFailed);
  CloseConnection();
  if (observer_)
    observer_->TransferEnded();
  Finish(result, code);
  return result;
}

ExchangeResult InstrumentSession::RunRegister(bool clearAll) {
  ExchangeResult result;
  result.Commands += 'n';
  int code = ReadNumber(result.DeviceId);
  if (clearAll && Go(code)) {
    // An instrument someone holds keeps that person's unfiled history; the
    // caller tells the operator. A register that cannot be read counts as held.
    const int holders = records_ ? records_->CountDeviceHolders(result.DeviceId) : -1;
    if (holders == 0) {
      result.ActivationTime = NowToTheSecond();
      result.HasActivationTime = true;
      result.Commands += 'A';
      code = WriteActivationTime(link_, socket_, result.ActivationTime);
      if (Go(code)) {
        result.Commands += 'C';
        code = ::ClearHistory(link_, socket_);
        if (code == LinkOk)
          Forget(result.DeviceId);
      }
      if (Go(code)) {
        result.Commands += 'G';
        code = ::ClearDose(link_, socket_);
      }
    }
  }
  Breathe();
  Status(code == LinkOk ? ExchangeObserver::Status::Registered
                        : ExchangeObserver::Status::ReadFailed);
  CloseConnection();
  Finish(result, code);
  return result;
}

ExchangeResult InstrumentSession::RunReadInformation() {
  ExchangeResult result;
  result.Commands += "nPT";
  const int code = ReadDeviceInfo(link_, socket_, result.Params);
  result.DeviceId = result.Params.DeviceId;
  result.HasActivationTime = code == LinkOk;
  result.ActivationTime = result.Params.ActivationTime;
  Status(code == LinkOk || code == LinkBadActivationTime ? ExchangeObserver::Status::ReadDone
                                                         : ExchangeObserver::Status::ReadFailed);
  Breathe();
  CloseConnection();
  Finish(result, code);
  return result;
}

ExchangeResult InstrumentSession::RunWriteParameters(const DEVICE_PARAMS &wanted) {
  ExchangeResult result;
  int code = LinkOk;
  bool cleared = false;
  if (wanted.DoWriteParams) {
    result.Commands += "PS";
    code = ::WriteParameters(link_, socket_, wanted);
  }
  if (wanted.DoSetActivationTime && Go(code)) {
    result.Commands += 'A';
    code = WriteActivationTime(link_, socket_, NowToTheSecond());
  }
  if (wanted.DoClearHistory && Go(code)) {
    result.Commands += 'C';
    code = ::ClearHistory(link_, socket_);
    cleared = code == LinkOk;
  }
  // Read back only what was written: a failed write fails the attempt.
  if (Go(code)) {
    result.Commands += "nPT";
    code = ReadDeviceInfo(link_, socket_, result.Params);
    result.DeviceId = result.Params.DeviceId;
    result.HasActivationTime = code == LinkOk;
    result.ActivationTime = result.Params.ActivationTime;
    if (cleared && result.DeviceId > 0)
      Forget(result.DeviceId);
  }
  Status(code == LinkOk ? ExchangeObserver::Status::Written
                        : ExchangeObserver::Status::WriteFailed);
  Breathe();
  CloseConnection();
  Finish(result, code);
  return result;
}

ExchangeResult InstrumentSession::RunClear(bool history) {
  ExchangeResult result;
  result.Commands += 'n';
  int code = ReadNumber(result.DeviceId);
  if (code == LinkBadDeviceNumber) {
    // No instrument can have that number, so nobody holds it.
    result.outcome = ExchangeOutcome::NotRegistered;
  } else if (Go(code)) {
    const std::optional<Holder> holder =
        records_ ? records_->HolderOf(result.DeviceId) : std::nullopt;
    if (holder)
      result.holder = *holder;
    if (holder && holder->UserId > 0) {
      result.Commands += history ? 'C' : 'G';
      code = history ? ::ClearHistory(link_, socket_) : ::ClearDose(link_, socket_);
      if (history && code == LinkOk)
        Forget(result.DeviceId);
    } else {
      result.outcome = ExchangeOutcome::NotRegistered;
    }
  }
  CloseConnection();
  Finish(result, code);
  return result;
}
