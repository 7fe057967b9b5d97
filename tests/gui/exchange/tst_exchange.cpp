// The instrument exchange window over a scripted instrument, and the
// registration options dialog.
#include "FakeInstrument.h"
#include "ProgramRunBase.h"
#include "TestDatabase.h"
#include "db/TDM.h"
#include "exchanges/FormRead.h"
#include "exchanges/FormReg.h"
#include "history/DayCount.h"
#include "link/LinkCodes.h"
#include "main/MainForm.h"

#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

namespace {

int count(const QString &dbPath, const QString &select) {
  return int(scalar(dbPath, select));
}

// A stack that lets a test look at the window whenever a connection closes.
class WatchedStack : public FakeIrdaStack {
public:
  std::function<void()> OnClose;
  int Close(IrdaSocket socket) override {
    if (OnClose)
      OnClose();
    Received.clear(); // what the instrument sent and nobody read goes with the link
    return FakeIrdaStack::Close(socket);
  }
};

const QDateTime Now(QDate(2025, 6, 1), QTime(10, 20, 30, 456));

// One run of the program's windows with an instrument in range.
struct Run : ProgramRunBase {
  std::shared_ptr<WatchedStack> stack = std::make_shared<WatchedStack>();
  FakeInstrument instrument;

  Run() {
    ctx.executableFolder = folder.path();
    state.Paths.ADOFile = folder.databasePath();
    state.Irda = std::make_shared<IrdaTransport>(stack);
    state.Irda->Sleep = [](int) {};
    state.clock = std::make_shared<SettableClock>(Now);
    windows = CreateProgramWindows(ctx);
    form().AttemptIntervalMs = 1;
    form().ConnectPauseMs = 0;
    instrument.Attach(*stack);
    for (int i = 0; i < 5; ++i)
      instrument.Append(Record(1 + i, 2, 24, 9, 10, i % 2 ? 16 : 1, 2.5e-6f, 0, 1e-5f * i));
  }
  TFormRead &form() { return *ctx.FormRead; }
  int exchange(int mode) {
    form().Tag = mode;
    form().ApplyTexts(mode);
    return form().exec();
  }
  void addHolder(int deviceId) {
    exec(folder.databasePath(),
         {QString("INSERT INTO TableUser (UserSecondName, UserFirstName, "
                  "UserMiddleName, DeviceId) VALUES ('Holder', 'A', 'B', %1)")
              .arg(deviceId)});
  }
  int holderKey() { return count(folder.databasePath(), "SELECT MAX(UserId) FROM TableUser"); }
  int storedEvents() { return count(folder.databasePath(), "SELECT COUNT(*) FROM TableHistory"); }
  void breakHistoryInserts() {
    exec(folder.databasePath(), {"CREATE TRIGGER NoInsert BEFORE INSERT ON TableHistory BEGIN "
                                 "SELECT RAISE(ABORT, 'refused'); END"});
  }
};

} // namespace

class TestExchange : public QObject {
  Q_OBJECT
private slots:
  // Reading a history.
  void readHistoryFilesBeforeClearing();
  void readHistoryKeepsHistory_data();
  void readHistoryKeepsHistory();
  void filingFailureLeavesInstrumentUncleared();
  void failedClearIsRetriedWithoutFilingTwice();
  void badActivationTime_data();
  void badActivationTime();
  void brokenTransfersRetryAndStoreNothing_data();
  void brokenTransfersRetryAndStoreNothing();

  // Connecting.
  void searchesUntilAnInstrumentIsInRange();
  void socketThatCannotBeCreated_data();
  void socketThatCannotBeCreated();
  void cancelDuringAnAttempt_data();
  void cancelDuringAnAttempt();
  void exceptionInAnAttemptLeavesWindowUsable();

  // The other modes.
  void registerFreeInstrument_data();
  void registerFreeInstrument();
  void registerHeldInstrumentSendsNoClearing();
  void readAndWriteParameters();
  void failedWriteRetriesBeforeReadBack();
  void clearHistoryAndDose_data();
  void clearHistoryAndDose();
  void garbageInEveryModeIsRetried_data();
  void garbageInEveryModeIsRetried();
  void impossibleActivationDateInformation();

  // Look and texts.
  void captionsAndIndicator();
  void registrationDialog();
};

void TestExchange::readHistoryFilesBeforeClearing() {
  Run run;
  run.addHolder(4418);
  const int holder = run.holderKey();
  int storedWhenCleared = -1;
  run.instrument.OnCommand = [&](char c) {
    if (c == 'C')
      storedWhenCleared = run.storedEvents();
  };
  QCOMPARE(run.exchange(TFormRead::ReadHistoryMode), int(QDialog::Accepted));
  QCOMPARE(run.instrument.Commands, std::string("nTHHC"));
  QCOMPARE(storedWhenCleared, 5);
  QCOMPARE(run.form().Result().outcome, ExchangeOutcome::Done);
  QCOMPARE(run.form().Result().EventsFiled, 5);
  QCOMPARE(run.form().Result().holder.UserId, holder);
  QCOMPARE(run.state.RegState.DeviceId, 4418);
  QCOMPARE(run.state.RegState.UserId, holder);
  QCOMPARE(run.state.RegState.ActivationTime, DayCountOf(QDate(2024, 3, 15), QTime(8, 30)));
  QCOMPARE(run.form().Result().History.size(), std::size_t(100));
  QCOMPARE(run.state.RegState.SecondName, QString("Holder"));
  QCOMPARE(count(run.folder.databasePath(),
                 QString("SELECT COUNT(*) FROM TableHistory WHERE DeviceId = 4418 AND UserId = %1")
                     .arg(holder)),
           5);
  QVERIFY(!run.form().ConnectionOpen());
  QVERIFY(run.messages.shown.empty());
  QCOMPARE(run.form().Tag, 0);
  QVERIFY(!run.form().Timer_Read->isActive());
}

void TestExchange::readHistoryKeepsHistory_data() {
  QTest::addColumn<bool>("registered");
  QTest::addColumn<bool>("keep");
  QTest::newRow("registered, removal off") << true << true;
  QTest::newRow("nobody holds it") << false << false;
}

void TestExchange::readHistoryKeepsHistory() {
  QFETCH(bool, registered);
  QFETCH(bool, keep);
  Run run;
  if (registered)
    run.addHolder(4418);
  run.state.KeepHistoryAfterRead = keep;
  QCOMPARE(run.exchange(TFormRead::ReadHistoryMode), int(QDialog::Accepted));
  QCOMPARE(run.instrument.Commands, std::string("nTHH"));
  QCOMPARE(run.form().Result().EventsFiled, registered ? 5 : 0);
  QCOMPARE(run.storedEvents(), registered ? 5 : 0);
  QCOMPARE(run.form().Result().History.size(), std::size_t(100));
  if (!registered)
    QCOMPARE(run.state.RegState.UserId, -1);
}

void TestExchange::filingFailureLeavesInstrumentUncleared() {
  Run run;
  run.addHolder(4418);
  run.breakHistoryInserts();
  QCOMPARE(run.exchange(TFormRead::ReadHistoryMode), int(QDialog::Rejected));
  QCOMPARE(run.instrument.Commands, std::string("nTHH"));
  QCOMPARE(run.instrument.History.size(), std::size_t(100));
  QCOMPARE(run.form().Result().outcome, ExchangeOutcome::FilingFailed);
  QCOMPARE(run.storedEvents(), 0);
  QCOMPARE(run.messages.texts(), QStringList{run.state.Texts.at(67)});
  QVERIFY(!run.form().ConnectionOpen());
}

void TestExchange::failedClearIsRetriedWithoutFilingTwice() {
  Run run;
  run.addHolder(4418);
  int clears = 0;
  // The first clear command is never answered; meanwhile the instrument
  // records one more event.
  run.instrument.Custom['C'] = [&](FakeIrdaStack &) {
    if (clears++ > 0)
      return false;
    run.instrument.Append(Record(9, 2, 24, 11, 0, 2, 0, 0, 1e-4f));
    return true;
  };
  QCOMPARE(run.exchange(TFormRead::ReadHistoryMode), int(QDialog::Accepted));
  QCOMPARE(clears, 2);
  QCOMPARE(run.storedEvents(), 6);
  QCOMPARE(run.form().Result().History.size(), std::size_t(120));
  QVERIFY(run.instrument.History.empty());
}

void TestExchange::badActivationTime_data() {
  QTest::addColumn<Bytes>("reply");
  QTest::newRow("month 13") << Frame('T', {15, 13, 0xE8, 0x07, 8, 30, 0});
  QTest::newRow("hour 24") << Frame('T', {15, 3, 0xE8, 0x07, 24, 0, 0});
  QTest::newRow("too short") << Frame('T', {15, 3, 0xE8, 0x07, 8, 30});
  Bytes spoilt = Frame('T', {15, 3, 0xE8, 0x07, 8, 30, 0});
  spoilt.back() ^= 0xFF;
  QTest::newRow("checksum") << spoilt;
}

void TestExchange::badActivationTime() {
  QFETCH(Bytes, reply);
  Run run;
  run.addHolder(4418);
  run.instrument.Custom['T'] = [&](FakeIrdaStack &s) {
    s.Queue(reply);
    return true;
  };
  QCOMPARE(run.exchange(TFormRead::ReadHistoryMode), int(QDialog::Accepted));
  QCOMPARE(run.form().Result().outcome, ExchangeOutcome::BadActivationTime);
  QCOMPARE(run.messages.texts(), QStringList{run.state.Texts.at(227)});
  QCOMPARE(run.instrument.Commands, std::string("nT"));
  QVERIFY(run.form().Result().History.empty());
  QCOMPARE(run.form().Result().EventsFiled, 0);
  QCOMPARE(run.storedEvents(), 0);
}

void TestExchange::brokenTransfersRetryAndStoreNothing_data() {
  QTest::addColumn<char>("command");
  QTest::addColumn<Bytes>("garbage");
  QTest::addColumn<bool>("close"); // the link closes after the garbage
  QTest::newRow("number: noise") << 'n' << Bytes{0x13, 0x37, 0x00, 0xFF} << false;
  QTest::newRow("number: huge length") << 'n' << Bytes{0x55, 0xFF, 'n', 1, 0, 0} << false;
  QTest::newRow("activation: too long")
      << 'T' << Frame('T', {15, 3, 0xE8, 0x07, 8, 30, 0, 0, 0}) << false;
  QTest::newRow("history: block length 2") << 'H' << Bytes{0x55, 0x02, 'H', 1} << false;
  QTest::newRow("history: block length 250") << 'H' << Bytes{0x55, 250, 'H', 1} << false;
  QTest::newRow("history: dropped in a block") << 'H' << Bytes{0x55, 64, 'H', 1, 1, 2, 3} << true;
  QTest::newRow("history: dropped between blocks") << 'H' << Bytes{} << true;
}

void TestExchange::brokenTransfersRetryAndStoreNothing() {
  QFETCH(char, command);
  QFETCH(Bytes, garbage);
  QFETCH(bool, close);
  Run run;
  run.addHolder(4418);
  int answers = 0;
  int storedWhenRetried = -1;
  // The second history request of the first attempt (or its number) goes wrong.
  run.instrument.Custom[command] = [&](FakeIrdaStack &s) {
    ++answers;
    if (answers != (command == 'H' ? 2 : 1))
      return false;
    if (!garbage.empty())
      s.Queue(garbage);
    if (close)
      s.QueueClosed();
    return true;
  };
  run.stack->OnClose = [&] {
    if (storedWhenRetried < 0)
      storedWhenRetried = run.storedEvents();
  };
  QCOMPARE(run.exchange(TFormRead::ReadHistoryMode), int(QDialog::Accepted));
  QCOMPARE(storedWhenRetried, 0);
  QCOMPARE(run.storedEvents(), 5);
  QCOMPARE(std::count(run.instrument.Commands.begin(), run.instrument.Commands.end(), 'C'), 1);
  QVERIFY(run.stack->ClosedSockets.size() >= 2);
  QVERIFY(run.messages.shown.empty());
}

void TestExchange::searchesUntilAnInstrumentIsInRange() {
  Run run;
  // Two attempts find nothing, a third gets a Winsock error (on every one of
  // its tries), then the instrument is in range with a neighbour.
  run.stack->Enumerations.push_back({0, {}});
  run.stack->Enumerations.push_back({0, {}});
  for (int i = 0; i < IrdaTransport::EnumerationTries; ++i)
    run.stack->Enumerations.push_back({10050, {}});
  FakeIrdaStack::Device second;
  second.Name = "OTHER";
  run.stack->Devices.push_back(second);
  QStringList panels;
  run.stack->OnClose = [&] { panels << run.form().StatusPanel(1); };
  run.instrument.Custom['n'] = [&](FakeIrdaStack &) {
    panels << run.form().StatusPanel(0) + "/" + run.form().StatusPanel(1);
    return false;
  };
  QCOMPARE(run.exchange(TFormRead::ReadInfoMode), int(QDialog::Accepted));
  const TextTable &t = run.state.Texts;
  QCOMPARE(panels,
           (QStringList{t.at(161), t.at(161), t.at(161) + " 10050", t.at(162) + "/", t.at(265)}));
  QCOMPARE(run.form().lbxDevices->count(), 1);
  QCOMPARE(run.form().lbxDevices->item(0)->text(), QString("VX4418"));
  QCOMPARE(run.form().StatusPanel(0), QString());
  QCOMPARE(run.form().StatusPanel(1), QString());
  QCOMPARE(run.state.LastReadParams.DeviceId, 4418);
  QCOMPARE(run.state.LastReadParams.HistoryInterval, std::uint16_t(60));
}

void TestExchange::socketThatCannotBeCreated_data() {
  QTest::addColumn<bool>("winsockFails");
  QTest::newRow("socket call fails") << false;
  QTest::newRow("winsock does not start") << true;
}

void TestExchange::socketThatCannotBeCreated() {
  QFETCH(bool, winsockFails);
  Run run;
  if (winsockFails)
    run.stack->StartupResults.push_back(10091);
  else
    run.stack->SocketErrors.push_back(10047);
  QCOMPARE(run.exchange(TFormRead::ReadHistoryMode), int(QDialog::Rejected));
  QCOMPARE(run.messages.texts(), QStringList{run.state.Texts.at(228)});
  QCOMPARE(run.instrument.Commands, std::string());
}

void TestExchange::cancelDuringAnAttempt_data() {
  QTest::addColumn<bool>("linkDrops");
  QTest::newRow("the link then drops") << true;
  QTest::newRow("the instrument goes on answering") << false;
}

void TestExchange::cancelDuringAnAttempt() {
  QFETCH(bool, linkDrops);
  Run run;
  run.addHolder(4418);
  bool openAfterCancel = false;
  run.instrument.Custom['H'] = [&](FakeIrdaStack &s) {
    if (run.instrument.Commands.size() != 3)
      return false;
    QTest::mouseClick(run.form().SB_Cancel, Qt::LeftButton);
    // The window waits for the attempt to return.
    openAfterCancel = run.form().isVisible();
    if (linkDrops) {
      s.QueueClosed();
      return true;
    }
    return false;
  };
  // Cancel ends the attempt before anything is filed or cleared.
  const int result = run.exchange(TFormRead::ReadHistoryMode);
  QVERIFY(openAfterCancel);
  QCOMPARE(result, int(QDialog::Rejected));
  QCOMPARE(run.storedEvents(), 0);
  QVERIFY(run.instrument.Commands.rfind("nTH", 0) == 0);
  QVERIFY(run.instrument.Commands.find('C') == std::string::npos);
  QVERIFY(!run.form().ConnectionOpen());
}

void TestExchange::exceptionInAnAttemptLeavesWindowUsable() {
  Run run;
  TFormRead &f = run.form();
  run.instrument.Custom['T'] = [](FakeIrdaStack &) -> bool { throw std::runtime_error("broken"); };
  f.AttemptIntervalMs = 60000;
  f.Tag = TFormRead::ReadHistoryMode;
  f.show();
  QVERIFY_THROWS_EXCEPTION(std::runtime_error, f.Timer_ReadTimer());
  QVERIFY(f.ConnectionOpen());
  QVERIFY(f.Timer_Read->isActive());
  f.Timer_ReadTimer(); // closes the connection left open
  QVERIFY(!f.ConnectionOpen());
  QVERIFY(f.Timer_Read->isActive());
  QTest::mouseClick(f.SB_Cancel, Qt::LeftButton);
  QVERIFY(!f.isVisible());
  QCOMPARE(f.result(), int(QDialog::Rejected));
}

void TestExchange::registerFreeInstrument_data() {
  QTest::addColumn<bool>("clearAll");
  QTest::newRow("clear all") << true;
  QTest::newRow("save all") << false;
}

void TestExchange::registerFreeInstrument() {
  QFETCH(bool, clearAll);
  Run run;
  run.state.RegState.ClearAll = clearAll;
  run.state.RegState.ActivationTime = 5.0;
  Bytes setTime;
  run.instrument.Custom['A'] = [&](FakeIrdaStack &s) {
    setTime = run.stack->Sends.back();
    s.Queue(Frame('A', {}));
    return true;
  };
  QCOMPARE(run.exchange(TFormRead::RegisterMode), int(QDialog::Accepted));
  QCOMPARE(run.state.RegState.DeviceId, 4418);
  if (clearAll) {
    QCOMPARE(run.instrument.Commands, std::string("nACG"));
    QCOMPARE(run.state.RegState.ActivationTime, DayCountOf(Now.date(), QTime(10, 20, 30)));
    QCOMPARE(Bytes(setTime.begin() + 4, setTime.begin() + 11),
             (Bytes{1, 6, 0xE9, 0x07, 10, 20, 30}));
  } else {
    QCOMPARE(run.instrument.Commands, std::string("n"));
    QCOMPARE(run.state.RegState.ActivationTime, 5.0);
  }
}

void TestExchange::registerHeldInstrumentSendsNoClearing() {
  for (bool databaseFails : {false, true}) {
    Run run;
    if (databaseFails)
      run.ctx.DM->SetLocation(run.folder.file("missing/none.db"));
    else
      run.addHolder(4418);
    run.state.RegState.ClearAll = true;
    QCOMPARE(run.exchange(TFormRead::RegisterMode), int(QDialog::Accepted));
    QCOMPARE(run.instrument.Commands, std::string("n"));
    QCOMPARE(run.state.RegState.DeviceId, 4418);
    QVERIFY(run.messages.shown.empty());
  }
}

void TestExchange::readAndWriteParameters() {
  Run run;
  // Only the clear-history option: no parameters written, history cleared,
  // information read back.
  run.state.ParamsToWrite.DoClearHistory = true;
  QCOMPARE(run.exchange(TFormRead::WriteParametersMode), int(QDialog::Accepted));
  QCOMPARE(run.instrument.Commands, std::string("CnPT"));
  QCOMPARE(run.state.LastReadParams.DeviceId, 4418);
  QCOMPARE(run.state.LastReadParams.ActivationTime, DayCountOf(QDate(2024, 3, 15), QTime(8, 30)));

  // Everything: S built from a fresh P, then A with the PC time, then C.
  run.instrument.Commands.clear();
  run.state.ParamsToWrite = run.state.LastReadParams;
  run.state.ParamsToWrite.DoWriteParams = true;
  run.state.ParamsToWrite.DoSetActivationTime = true;
  run.state.ParamsToWrite.DoClearHistory = true;
  run.state.ParamsToWrite.HistoryInterval = 5;
  QCOMPARE(run.exchange(TFormRead::WriteParametersMode), int(QDialog::Accepted));
  QCOMPARE(run.instrument.Commands, std::string("PSACnPT"));
}

void TestExchange::failedWriteRetriesBeforeReadBack() {
  Run run;
  run.state.ParamsToWrite.DoWriteParams = true;
  run.state.ParamsToWrite.DoSetActivationTime = true;
  int writes = 0;
  QStringList panels;
  run.stack->OnClose = [&] { panels << run.form().StatusPanel(1); };
  run.instrument.Custom['S'] = [&](FakeIrdaStack &s) {
    if (writes++ > 0)
      return false;
    s.QueueError(WsaConnectionReset);
    return true;
  };
  QCOMPARE(run.exchange(TFormRead::WriteParametersMode), int(QDialog::Accepted));
  QCOMPARE(run.instrument.Commands, std::string("PSPSAnPT"));
  const TextTable &t = run.state.Texts;
  QCOMPARE(panels, (QStringList{t.at(268), t.at(267)}));
}

void TestExchange::clearHistoryAndDose_data() {
  QTest::addColumn<int>("mode");
  QTest::addColumn<bool>("registered");
  QTest::newRow("history, registered") << int(TFormRead::ClearHistoryMode) << true;
  QTest::newRow("history, nobody") << int(TFormRead::ClearHistoryMode) << false;
  QTest::newRow("dose, registered") << int(TFormRead::ClearDoseMode) << true;
  QTest::newRow("dose, nobody") << int(TFormRead::ClearDoseMode) << false;
}

void TestExchange::clearHistoryAndDose() {
  QFETCH(int, mode);
  QFETCH(bool, registered);
  Run run;
  if (registered)
    run.addHolder(4418);
  QCOMPARE(run.exchange(mode), int(QDialog::Accepted));
  const std::string clear = mode == TFormRead::ClearHistoryMode ? "C" : "G";
  QCOMPARE(run.instrument.Commands, "n" + (registered ? clear : std::string()));
  QCOMPARE(run.state.RegState.UserId, registered ? run.holderKey() : -1);
  QCOMPARE(run.messages.texts(), registered ? QStringList() : QStringList{run.state.Texts.at(282)});
}

void TestExchange::garbageInEveryModeIsRetried_data() {
  QTest::addColumn<int>("mode");
  QTest::addColumn<char>("command");
  QTest::addColumn<Bytes>("garbage");
  QTest::addColumn<std::string>("commands");
  const Bytes noise{0x13, 0x37, 0x00, 0xFF, 0x55};
  const Bytes tooShort{0x55, 0x0C, 'n', 1, '1'};
  QTest::newRow("register: number") << 2 << 'n' << noise << std::string("nnACG");
  QTest::newRow("register: clear dose") << 2 << 'G' << noise << std::string("nACGnACG");
  QTest::newRow("information: parameters") << 3 << 'P' << noise << std::string("nPnPT");
  QTest::newRow("information: short number") << 3 << 'n' << tooShort << std::string("nnPT");
  QTest::newRow("write: parameters") << 4 << 'P' << noise << std::string("PPSnPT");
  QTest::newRow("clear history: number") << 5 << 'n' << noise << std::string("nnC");
  QTest::newRow("clear dose: acknowledgement") << 6 << 'G' << noise << std::string("nGnG");
}

void TestExchange::garbageInEveryModeIsRetried() {
  QFETCH(int, mode);
  QFETCH(char, command);
  QFETCH(Bytes, garbage);
  QFETCH(std::string, commands);
  Run run;
  if (mode >= TFormRead::ClearHistoryMode)
    run.addHolder(4418);
  run.state.RegState.ClearAll = true;
  run.state.ParamsToWrite.DoWriteParams = true;
  bool spoilt = false;
  run.instrument.Custom[command] = [&](FakeIrdaStack &s) {
    if (spoilt)
      return false;
    spoilt = true;
    s.Queue(garbage);
    return true;
  };
  QCOMPARE(run.exchange(mode), int(QDialog::Accepted));
  QCOMPARE(run.instrument.Commands, commands);
  QVERIFY(run.messages.shown.empty());
}

void TestExchange::impossibleActivationDateInformation() {
  Run run;
  run.instrument.Activation = {31, 2, 0xE8, 0x07, 8, 30, 0}; // 31 February
  QCOMPARE(run.exchange(TFormRead::ReadInfoMode), int(QDialog::Accepted));
  QCOMPARE(run.form().Result().outcome, ExchangeOutcome::BadActivationTime);
  QCOMPARE(run.messages.texts(), QStringList{run.state.Texts.at(227)});
  QCOMPARE(run.state.LastReadParams.DeviceId, 4418);
}

void TestExchange::captionsAndIndicator() {
  Run run;
  TFormRead &f = run.form();
  const TextTable &t = run.state.Texts;
  const int captions[] = {155, 155, 156, 155, 157, 79, 82, 155};
  for (int kind = 0; kind <= 7; ++kind) {
    f.ApplyTexts(kind);
    QCOMPARE(f.windowTitle(), t.at(captions[kind]));
  }
  QCOMPARE(f.L_Instruction->text(), t.at(158));
  QCOMPARE(f.SB_Cancel->text(), t.at(38));

  // Waiting: red and green alternate; found: the connected picture.
  f.TimerImTag = 0;
  f.ImConnect->show();
  f.ImageIrRed->hide();
  f.ImageIrGreen->hide();
  f.TimerImTimer();
  QVERIFY(!f.ImageIrRed->isHidden() && f.ImageIrGreen->isHidden() && f.ImConnect->isHidden());
  f.TimerImTimer();
  QVERIFY(f.ImageIrRed->isHidden() && !f.ImageIrGreen->isHidden());
  f.TimerImTimer();
  QVERIFY(!f.ImageIrRed->isHidden() && f.ImageIrGreen->isHidden());
  f.TimerImTag = 1;
  f.TimerImTimer();
  QVERIFY(f.ImageIrRed->isHidden() && f.ImageIrGreen->isHidden() && !f.ImConnect->isHidden());

  // Shown: both timers run, the first attempt waits one interval; an
  // unknown mode sends nothing and closes with Cancel.
  f.AttemptIntervalMs = 60000;
  f.Tag = 9;
  f.show();
  QVERIFY(f.TimerIm->isActive() && f.Timer_Read->isActive());
  QCOMPARE(f.Timer_Read->interval(), 60000);
  QVERIFY(f.PBarHistory->isHidden());
  f.Timer_ReadTimer();
  QCOMPARE(f.result(), int(QDialog::Rejected));
  QVERIFY(!f.isVisible() && !f.TimerIm->isActive() && !f.Timer_Read->isActive());
  QCOMPARE(run.instrument.Commands, std::string());
}

void TestExchange::registrationDialog() {
  Run run;
  TFormReg &reg = *run.ctx.FormReg;
  QVERIFY(reg.RB_ClearAll->isChecked());
  QVERIFY(!reg.RB_SaveAll->isChecked());

  run.state.Texts.set(169, "Clear everything");
  run.state.Texts.set(170, "short|long hint");
  reg.ApplyTexts();
  const TextTable &t = run.state.Texts;
  QCOMPARE(reg.windowTitle(), t.at(166));
  QCOMPARE(reg.RB_ClearAll->text(), QString("Clear everything"));
  for (QWidget *w : {static_cast<QWidget *>(reg.RB_ClearAll), static_cast<QWidget *>(reg.L_ClearDE),
                     static_cast<QWidget *>(reg.L_PCSync)}) {
    QCOMPARE(w->toolTip(), QString("short"));
    QCOMPARE(w->statusTip(), QString("long hint"));
  }
  QCOMPARE(reg.SB_Reg->text(), t.at(174));
  QCOMPARE(reg.SB_Cancel->text(), t.at(38));

  // The saving choice, once picked and registered, is still picked next time.
  QTimer::singleShot(0, [&] {
    QTest::mouseClick(reg.RB_SaveAll, Qt::LeftButton);
    QTest::mouseClick(reg.SB_Reg, Qt::LeftButton);
  });
  QCOMPARE(reg.exec(), int(QDialog::Accepted));
  QTimer::singleShot(0, [&] {
    QVERIFY(reg.RB_SaveAll->isChecked());
    QTest::mouseClick(reg.SB_Cancel, Qt::LeftButton);
  });
  QCOMPARE(reg.exec(), int(QDialog::Rejected));
  QVERIFY(!reg.RB_ClearAll->isChecked());
}

QTEST_MAIN(TestExchange)
#include "tst_exchange.moc"
