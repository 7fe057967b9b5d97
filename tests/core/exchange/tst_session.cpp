// Every exchange mode of the instrument session over a scripted instrument
// and a register without a database; no widgets.
#include "FakeExchangeRecords.h"
#include "FakeInstrument.h"
#include "exchange/InstrumentSession.h"
#include "history/DayCount.h"
#include "link/IrdaTransport.h"
#include "link/LinkCodes.h"
#include "log/SupportLog.h"
#include "state/Clock.h"

#include <QtTest>

namespace {

using Status = ExchangeObserver::Status;

// Remembers what the session showed.
class RecordingObserver : public ExchangeObserver {
public:
  std::vector<Status> statuses;
  std::vector<int> codes;
  int found = -1;
  QString name;
  int breaths = 0, transfers = 0, ends = 0;
  std::function<void()> onBreathe;

  void StatusChanged(Status status, int code) override {
    statuses.push_back(status);
    codes.push_back(code);
  }
  void DevicesFound(int count, const QString &firstName) override {
    found = count;
    name = firstName;
  }
  void Connecting() override {}
  void TransferStarted() override { ++transfers; }
  void TransferEnded() override { ++ends; }
  HistoryProgress *Progress() override { return nullptr; }
  void Breathe() override {
    ++breaths;
    if (onBreathe)
      onBreathe();
  }
};

const QDateTime Now(QDate(2025, 6, 1), QTime(10, 20, 30, 456));
constexpr qint32 Device = 4418;

struct Bench {
  std::shared_ptr<FakeIrdaStack> stack = std::make_shared<FakeIrdaStack>();
  std::shared_ptr<IrdaTransport> transport = std::make_shared<IrdaTransport>(stack);
  IrdaTransport &link = *transport;
  FakeInstrument instrument;
  FakeExchangeRecords records;
  RecordingObserver observer;
  InstrumentSession session{transport, &records, std::make_shared<SettableClock>(Now)};

  Bench() {
    link.Sleep = [](int) {};
    session.ConnectPauseMs = 0;
    session.SetObserver(&observer);
    instrument.Attach(*stack);
    for (int i = 0; i < 5; ++i)
      instrument.Append(Record(1 + i, 2, 24, 9, 10, i % 2 ? 16 : 1, 2.5e-6f, 0, 1e-5f * i));
  }
  void hold(qint32 deviceId = Device) {
    records.Holders[deviceId] = Holder{7, "Second", "First", "Middle"};
  }
  std::vector<std::string> calls() const { return records.Calls; }
};

using Calls = std::vector<std::string>;

} // namespace

Q_DECLARE_METATYPE(ExchangeOutcome)

class TestSession : public QObject {
  Q_OBJECT
private slots:
  void readFilesThenClears();
  void readLeavesInstrument_data();
  void readLeavesInstrument();
  void badDeviceNumber_data();
  void badDeviceNumber();
  void cancelBetweenCommands_data();
  void cancelBetweenCommands();
  void cancelReachesTheLink();
  void registration_data();
  void registration();
  void clearModes_data();
  void clearModes();
  void parameters();
  void connectFailures();
  void badActivationTime();
  void supportLogLine();
};

void TestSession::readFilesThenClears() {
  Bench b;
  b.hold();
  Calls atClear;
  b.instrument.OnCommand = [&](char c) {
    if (c == 'C')
      atClear = b.calls();
  };
  const Bytes bytes = b.instrument.History;
  const ExchangeResult r = b.session.ReadHistory(false);
  QCOMPARE(r.outcome, ExchangeOutcome::Done);
  QCOMPARE(r.linkCode, LinkOk);
  QCOMPARE(b.instrument.Commands, std::string("nTHHC"));
  QCOMPARE(r.Commands, std::string("nTHC"));
  QCOMPARE(atClear, (Calls{"file 4418 100"}));
  QCOMPARE(b.calls(), (Calls{"file 4418 100", "forget 4418"}));
  QCOMPARE(r.DeviceId, Device);
  QVERIFY(r.HasActivationTime);
  QCOMPARE(r.ActivationTime, DayCountOf(QDate(2024, 3, 15), QTime(8, 30)));
  QVERIFY(r.History == bytes);
  QCOMPARE(r.holder.UserId, 7);
  QCOMPARE(r.holder.SecondName, QString("Second"));
  QCOMPARE(r.EventsFiled, 5);
  QVERIFY(!b.session.ConnectionOpen());
  QCOMPARE(b.observer.statuses, (std::vector<Status>{Status::Searching, Status::Finding,
                                                     Status::Connected, Status::ReadDone}));
  QCOMPARE(b.observer.found, 1);
  QCOMPARE(b.observer.name, QString("VX4418"));
  QCOMPARE(b.observer.transfers, 1);
  QCOMPARE(b.observer.ends, 1);
  QVERIFY(b.observer.breaths > 0);
}

void TestSession::readLeavesInstrument_data() {
  QTest::addColumn<bool>("held");
  QTest::addColumn<bool>("keep");
  QTest::addColumn<bool>("filingFails");
  QTest::addColumn<ExchangeOutcome>("outcome");
  QTest::addColumn<Status>("status");
  QTest::newRow("removal off") << true << true << false << ExchangeOutcome::Done
                               << Status::ReadDone;
  QTest::newRow("nobody holds it")
      << false << false << false << ExchangeOutcome::Done << Status::ReadDone;
  QTest::newRow("filing refused") << true << false << true << ExchangeOutcome::FilingFailed
                                  << Status::ReadFailed;
}

void TestSession::readLeavesInstrument() {
  QFETCH(bool, held);
  QFETCH(bool, keep);
  QFETCH(bool, filingFails);
  QFETCH(ExchangeOutcome, outcome);
  QFETCH(Status, status);
  Bench b;
  if (held)
    b.hold();
  b.records.FilingFails = filingFails;
  const ExchangeResult r = b.session.ReadHistory(keep);
  QCOMPARE(r.outcome, outcome);
  QCOMPARE(b.instrument.Commands, std::string("nTHH"));
  QCOMPARE(b.instrument.History.size(), std::size_t(100));
  QCOMPARE(b.calls(), (Calls{"file 4418 100"}));
  QCOMPARE(r.History.size(), std::size_t(100));
  QCOMPARE(r.holder.UserId, held && !filingFails ? 7 : -1);
  QCOMPARE(r.EventsFiled, held && !filingFails ? 5 : 0);
  QCOMPARE(b.observer.statuses.back(), status);
  QVERIFY(!b.session.ConnectionOpen());

  // Without a register nothing can be filed, so nothing is cleared.
  Bench none;
  none.session.SetRecords(nullptr);
  QCOMPARE(none.session.ReadHistory(false).outcome, ExchangeOutcome::FilingFailed);
  QCOMPARE(none.instrument.Commands, std::string("nTHH"));
}

void TestSession::badDeviceNumber_data() {
  QTest::addColumn<std::string>("number");
  QTest::newRow("register's marker") << std::string("     -1");
  QTest::newRow("zero") << std::string("0000000");
  QTest::newRow("no digits") << std::string("abcdefg");
}

void TestSession::badDeviceNumber() {
  QFETCH(std::string, number);
  Bench b;
  b.hold(-1);
  b.hold(0);
  b.instrument.Number = number;

  // Reading: a failed attempt, nothing looked up, filed or cleared.
  ExchangeResult r = b.session.ReadHistory(false);
  QCOMPARE(r.outcome, ExchangeOutcome::LinkFailed);
  QCOMPARE(r.linkCode, LinkBadDeviceNumber);
  QCOMPARE(b.instrument.Commands, std::string("n"));
  QVERIFY(b.calls().empty());
  QVERIFY(r.History.empty());

  // Clearing refuses it like an instrument nobody holds.
  for (ExchangeMode mode : {ExchangeMode::ClearHistory, ExchangeMode::ClearDose}) {
    b.instrument.Commands.clear();
    r = b.session.Run(mode);
    QCOMPARE(r.outcome, ExchangeOutcome::NotRegistered);
    QCOMPARE(b.instrument.Commands, std::string("n"));
    QVERIFY(b.calls().empty());
  }

  // Registering it is a failed attempt too: nothing is set or cleared.
  b.instrument.Commands.clear();
  r = b.session.Register(true);
  QCOMPARE(r.outcome, ExchangeOutcome::LinkFailed);
  QCOMPARE(b.instrument.Commands, std::string("n"));
}

void TestSession::cancelBetweenCommands_data() {
  QTest::addColumn<int>("mode");
  QTest::addColumn<char>("during");
  QTest::addColumn<std::string>("commands");
  QTest::newRow("read: number") << 1 << 'n' << std::string("n");
  QTest::newRow("read: last block") << 1 << 'I' << std::string("nTHH");
  QTest::newRow("register: time") << 2 << 'A' << std::string("nA");
  QTest::newRow("write: parameters") << 4 << 'S' << std::string("PS");
  QTest::newRow("clear history: number") << 5 << 'n' << std::string("n");
}

void TestSession::cancelBetweenCommands() {
  QFETCH(int, mode);
  QFETCH(char, during);
  QFETCH(std::string, commands);
  Bench b;
  if (mode != 2) // an instrument someone holds is not cleared by registering
    b.hold();
  DEVICE_PARAMS wanted;
  wanted.DoWriteParams = wanted.DoSetActivationTime = wanted.DoClearHistory = true;
  // 'I': the second history request, which the instrument answers with its
  // last block.
  int requests = 0;
  b.instrument.OnCommand = [&](char c) {
    requests += c == 'H';
    if (c == during || (during == 'I' && c == 'H' && requests == 2))
      b.session.RequestCancel();
  };
  ExchangeRequest request;
  request.ClearAll = true;
  request.ParamsToWrite = wanted;
  const ExchangeResult r = b.session.Run(ExchangeMode(mode), request);
  QCOMPARE(r.outcome, ExchangeOutcome::Cancelled);
  QCOMPARE(b.instrument.Commands, commands);
  // Nothing filed, nothing forgotten: the instrument keeps its history.
  for (const std::string &call : b.calls())
    QVERIFY2(call.rfind("file", 0) != 0 && call.rfind("forget", 0) != 0, call.c_str());
  QVERIFY(!b.session.ConnectionOpen());

  // The next exchange starts afresh, on a new connection: a reply the
  // cancelled one left unread went with its connection.
  b.instrument.OnCommand = nullptr;
  b.instrument.Commands.clear();
  b.stack->Received.clear();
  const ExchangeResult next = b.session.ReadInformation();
  QVERIFY2(next.outcome == ExchangeOutcome::Done, qPrintable(QString::number(next.linkCode)));
}

void TestSession::cancelReachesTheLink() {
  Bench b;
  b.hold();
  bool askedBefore = true, askedAfter = false;
  b.instrument.OnCommand = [&](char c) {
    if (c != 'T')
      return;
    askedBefore = b.link.CancelRequested && b.link.CancelRequested();
    b.session.RequestCancel();
    askedAfter = b.link.CancelRequested && b.link.CancelRequested();
  };
  QCOMPARE(b.session.ReadHistory(false).outcome, ExchangeOutcome::Cancelled);
  QVERIFY(!askedBefore);
  QVERIFY(askedAfter);
  // The transport's hooks are the caller's again afterwards.
  QVERIFY(!b.link.CancelRequested);
  QVERIFY(!b.link.ProcessMessages);
}

void TestSession::registration_data() {
  QTest::addColumn<bool>("held");
  QTest::addColumn<bool>("clearAll");
  QTest::addColumn<std::string>("commands");
  QTest::addColumn<Calls>("calls");
  QTest::newRow("free, clear all")
      << false << true << std::string("nACG") << Calls{"count 4418", "forget 4418"};
  QTest::newRow("free, save all") << false << false << std::string("n") << Calls{};
  QTest::newRow("held, clear all") << true << true << std::string("n") << Calls{"count 4418"};
}

void TestSession::registration() {
  QFETCH(bool, held);
  QFETCH(bool, clearAll);
  QFETCH(std::string, commands);
  QFETCH(Calls, calls);
  Bench b;
  if (held)
    b.hold();
  const ExchangeResult r = b.session.Register(clearAll);
  QCOMPARE(r.outcome, ExchangeOutcome::Done);
  QCOMPARE(r.DeviceId, Device);
  QCOMPARE(b.instrument.Commands, commands);
  QCOMPARE(b.calls(), calls);
  QCOMPARE(r.HasActivationTime, commands.size() > 1);
  if (r.HasActivationTime)
    QCOMPARE(r.ActivationTime, DayCountOf(Now.date(), QTime(10, 20, 30)));
  QCOMPARE(b.observer.statuses.back(), Status::Registered);

  // A register that cannot be read counts as held: nothing is cleared.
  Bench broken;
  broken.records.RegisterUnreadable = true;
  QCOMPARE(broken.session.Register(true).outcome, ExchangeOutcome::Done);
  QCOMPARE(broken.instrument.Commands, std::string("n"));
}

void TestSession::clearModes_data() {
  QTest::addColumn<int>("mode");
  QTest::addColumn<bool>("held");
  QTest::addColumn<ExchangeOutcome>("outcome");
  QTest::addColumn<std::string>("commands");
  QTest::addColumn<Calls>("calls");
  QTest::newRow("history, held") << 5 << true << ExchangeOutcome::Done << std::string("nC")
                                 << Calls{"holder 4418", "forget 4418"};
  QTest::newRow("history, nobody")
      << 5 << false << ExchangeOutcome::NotRegistered << std::string("n") << Calls{"holder 4418"};
  QTest::newRow("dose, held") << 6 << true << ExchangeOutcome::Done << std::string("nG")
                              << Calls{"holder 4418"};
  QTest::newRow("dose, nobody") << 6 << false << ExchangeOutcome::NotRegistered << std::string("n")
                                << Calls{"holder 4418"};
}

void TestSession::clearModes() {
  QFETCH(int, mode);
  QFETCH(bool, held);
  QFETCH(ExchangeOutcome, outcome);
  QFETCH(std::string, commands);
  QFETCH(Calls, calls);
  Bench b;
  if (held)
    b.hold();
  const ExchangeResult r = b.session.Run(ExchangeMode(mode));
  QCOMPARE(r.outcome, outcome);
  QCOMPARE(r.DeviceId, Device);
  QCOMPARE(b.instrument.Commands, commands);
  QCOMPARE(b.calls(), calls);

  // An unanswered clear command is a failed attempt, and nothing is forgotten.
  Bench silent;
  silent.hold();
  silent.instrument.Custom[mode == 5 ? 'C' : 'G'] = [](FakeIrdaStack &) { return true; };
  const ExchangeResult failed = silent.session.Run(ExchangeMode(mode));
  QCOMPARE(failed.outcome, ExchangeOutcome::LinkFailed);
  QVERIFY(failed.linkCode != LinkOk);
  QCOMPARE(silent.calls(), Calls{"holder 4418"});
}

void TestSession::parameters() {
  Bench b;
  ExchangeResult r = b.session.ReadInformation();
  QCOMPARE(r.outcome, ExchangeOutcome::Done);
  QCOMPARE(b.instrument.Commands, std::string("nPT"));
  QCOMPARE(r.Params.DeviceId, Device);
  QCOMPARE(r.Params.HistoryInterval, std::uint16_t(60));
  QCOMPARE(b.observer.statuses.back(), Status::ReadDone);

  // Only the clear option: the history is cleared, read back, then forgotten.
  DEVICE_PARAMS wanted;
  wanted.DoClearHistory = true;
  b.instrument.Commands.clear();
  r = b.session.WriteParameters(wanted);
  QCOMPARE(r.outcome, ExchangeOutcome::Done);
  QCOMPARE(b.instrument.Commands, std::string("CnPT"));
  QCOMPARE(b.calls(), Calls{"forget 4418"});
  QCOMPARE(b.observer.statuses.back(), Status::Written);

  // A failed write is not read back, and nothing is cleared.
  wanted = r.Params;
  wanted.DoWriteParams = wanted.DoClearHistory = true;
  b.instrument.Commands.clear();
  b.instrument.Custom['S'] = [](FakeIrdaStack &s) {
    s.QueueError(WsaConnectionReset);
    return true;
  };
  r = b.session.WriteParameters(wanted);
  QCOMPARE(r.outcome, ExchangeOutcome::LinkFailed);
  QCOMPARE(r.linkCode, WsaConnectionReset);
  QCOMPARE(b.instrument.Commands, std::string("PS"));
  QCOMPARE(b.observer.statuses.back(), Status::WriteFailed);
}

void TestSession::connectFailures() {
  {
    Bench b;
    b.stack->Enumerations.push_back({0, {}});
    const ExchangeResult r = b.session.ReadHistory(false);
    QCOMPARE(r.outcome, ExchangeOutcome::LinkFailed);
    QCOMPARE(b.observer.statuses, (std::vector<Status>{Status::Searching, Status::NotFound}));
    QCOMPARE(b.observer.codes.back(), 0);
    QCOMPARE(b.observer.found, 0);
    QVERIFY(b.instrument.Commands.empty());
    QVERIFY(!b.session.ConnectionOpen());
  }
  {
    Bench b;
    for (int i = 0; i < IrdaTransport::EnumerationTries; ++i)
      b.stack->Enumerations.push_back({WsaNetworkDown, {}});
    b.session.ReadInformation();
    QCOMPARE(b.observer.statuses.back(), Status::NotFound);
    QCOMPARE(b.observer.codes.back(), WsaNetworkDown);
  }
  {
    Bench b;
    b.stack->ConnectErrors.push_back(WsaRefused);
    const ExchangeResult r = b.session.ClearDose();
    QCOMPARE(r.outcome, ExchangeOutcome::LinkFailed);
    QCOMPARE(r.linkCode, WsaRefused);
    QCOMPARE(b.observer.statuses.back(), Status::ConnectFailed);
  }
  {
    Bench b;
    b.stack->SocketErrors.push_back(10047);
    QCOMPARE(b.session.ReadHistory(false).outcome, ExchangeOutcome::SocketNotCreated);
    QVERIFY(b.instrument.Commands.empty());
  }
}

void TestSession::badActivationTime() {
  Bench b;
  b.hold();
  b.instrument.Activation = {31, 2, 0xE8, 0x07, 8, 30, 0}; // 31 February
  ExchangeResult r = b.session.ReadHistory(false);
  QCOMPARE(r.outcome, ExchangeOutcome::BadActivationTime);
  QCOMPARE(b.instrument.Commands, std::string("nT"));
  QVERIFY(r.History.empty());
  QVERIFY(b.calls().empty());

  b.instrument.Commands.clear();
  r = b.session.ReadInformation();
  QCOMPARE(r.outcome, ExchangeOutcome::BadActivationTime);
  QCOMPARE(r.Params.DeviceId, Device);
  QCOMPARE(b.observer.statuses.back(), Status::ReadDone);
}

void TestSession::supportLogLine() {
  Bench b;
  b.hold();
  static QStringList lines;
  lines.clear();
  const QtMessageHandler earlier =
      qInstallMessageHandler([](QtMsgType, const QMessageLogContext &context, const QString &text) {
        if (QLatin1String(context.category) == QLatin1String(lcLink().categoryName()))
          lines << text;
      });
  b.session.ReadHistory(false);
  b.records.FilingFails = true;
  b.instrument.Append(Record(9, 2, 24, 11, 0, 2));
  b.session.ReadHistory(false);
  qInstallMessageHandler(earlier);
  QCOMPARE(lines.size(), 2);
  QVERIFY2(lines[0].contains("mode=read history device=4418 commands=nTHC outcome=done code=0 "
                             "bytes=100 filed=5 holder=7"),
           qPrintable(lines[0]));
  QVERIFY2(lines[1].contains("commands=nTH outcome=filing failed code=0 bytes=20 filed=0"),
           qPrintable(lines[1]));
  // Nothing personal: no names.
  QVERIFY(!lines.join(' ').contains("Second"));
}

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
