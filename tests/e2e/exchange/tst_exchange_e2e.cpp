// The exchange window against the instrument simulator over the virtual IrDA
// link, with the program's database and the socket options library, and the
// same cases over a serial port (LinkUnderTest.h).
#include "HistoryRows.h"
#include "LinkUnderTest.h"
#include "ProgramRunBase.h"
#include "SimulatorProcess.h"
#include "TestDatabase.h"
#include "db/TDM.h"
#include "exchange/AttemptText.h"
#include "exchanges/FormRead.h"
#include "history/DayCount.h"
#include "history/HistoryRecord.h"
#include "link/VirtualIrdaStack.h"
#include "main/MainForm.h"

#include <QListWidget>
#include <QTcpServer>
#include <QTimer>
#include <QtTest>

namespace {

const QDateTime Now(QDate(2025, 6, 1), QTime(10, 20, 30));
constexpr int Number = 4418123;

// One run: the program's windows, a program folder and one simulator whose
// state is kept in a file the test reads.
struct Run : ProgramRunBase {
  QString stateFile = folder.file("instrument.json");
  SimulatorProcess simulator;

  explicit Run(const QStringList &faults = {}, int waitMs = 0)
      : simulator(QStringList{"--state", stateFile, "--number", QString::number(Number), "--events",
                              "40", "--block-size", "120"} +
                  SimulatorLinkArguments(folder.file("ttyVX4418")) + faults) {
    qputenv("VX4418_IRDA_DEVICES", simulator.endpoint());
    ctx.executableFolder = folder.path();
    state.Paths.ADOFile = folder.databasePath();
    state.Irda = LinkUnderTest(state, simulator.serialPath(), waitMs);
    state.clock = std::make_shared<SettableClock>(Now);
    windows = CreateProgramWindows(ctx);
    ctx.FormRead->AttemptIntervalMs = 100;
    ctx.FormRead->ConnectPauseMs = 0;
  }
  int exchange(int mode) {
    ctx.FormRead->Tag = mode;
    ctx.FormRead->ApplyTexts(mode);
    return ctx.FormRead->exec();
  }
  SimulatorState instrument() const {
    SimulatorState s;
    s.load(stateFile);
    return s;
  }
  QByteArray history() const { return instrument().history; }
  int addHolder(int deviceId) {
    exec(folder.databasePath(),
         {QString("INSERT INTO TableUser (UserSecondName, UserFirstName, UserMiddleName, "
                  "DeviceId) VALUES ('Holder', 'A', 'B', %1)")
              .arg(deviceId)});
    return int(scalar(folder.databasePath(), "SELECT MAX(UserId) FROM TableUser"));
  }
  QList<EventRow> stored() const { return StoredEvents(folder.databasePath()); }
};

} // namespace

class TestExchangeEndToEnd : public QObject {
  Q_OBJECT
private slots:
  void readRegisteredInstrument();
  void databaseFailsWhileFiling();
  void readWithRemovalOff();
  void linkDroppedInTheHistory();
  void registerFreeAndHeldInstrument();
  void clearHistoryAndDose();
  void readAndWriteParameters();
  void linkFaults_data();
  void linkFaults();
  void portThatCannotBeOpened();
  void failedAttemptsSayWhy_data();
  void failedAttemptsSayWhy();
  void readingSaysWhatWasFiled();
};

void TestExchangeEndToEnd::readRegisteredInstrument() {
  Run run;
  QVERIFY(run.simulator.isRunning());
  const int holder = run.addHolder(Number);
  const QByteArray before = run.history();
  QVERIFY(before.size() >= 40 * 20);
  QCOMPARE(run.exchange(TFormRead::ReadHistoryMode), int(QDialog::Accepted));
  QCOMPARE(run.ctx.FormRead->Result().holder.UserId, holder);
  QCOMPARE(run.state.RegState.DeviceId, Number);
  QCOMPARE(run.state.RegState.UserId, holder);
  QCOMPARE(run.state.RegState.ActivationTime, DayCountOf(QDate(2024, 1, 15), QTime(8, 30)));
  const std::vector<std::uint8_t> &read = run.ctx.FormRead->Result().History;
  QCOMPARE(QByteArray(reinterpret_cast<const char *>(read.data()), qsizetype(read.size())), before);
  compareRows(run.stored(), ExpectedEvents(before, Number, holder));
  QCOMPARE(run.instrument().history.size(), 0);
  QVERIFY(run.messages.shown.empty());
  // The options library tunes sockets; a serial port has none to tune.
  QCOMPARE(run.state.Irda->OptionsLibraryLoaded(), !SerialLinkUnderTest());
}

void TestExchangeEndToEnd::databaseFailsWhileFiling() {
  Run run;
  run.addHolder(Number);
  exec(run.folder.databasePath(), {"CREATE TRIGGER NoInsert BEFORE INSERT ON TableHistory BEGIN "
                                   "SELECT RAISE(ABORT, 'refused'); END"});
  const QByteArray before = run.history();
  QCOMPARE(run.exchange(TFormRead::ReadHistoryMode), int(QDialog::Rejected));
  QCOMPARE(run.messages.texts(), QStringList{run.state.Texts.at(67)});
  QCOMPARE(run.history(), before);
  QCOMPARE(run.ctx.FormRead->Result().outcome, ExchangeOutcome::FilingFailed);
}

void TestExchangeEndToEnd::readWithRemovalOff() {
  Run run;
  const int holder = run.addHolder(Number);
  const QByteArray before = run.history();
  run.state.KeepHistoryAfterRead = true;
  QCOMPARE(run.exchange(TFormRead::ReadHistoryMode), int(QDialog::Accepted));
  QCOMPARE(run.exchange(TFormRead::ReadHistoryMode), int(QDialog::Accepted));
  // The second reading begins with what the first one filed: nothing is
  // filed twice.
  compareRows(run.stored(), ExpectedEvents(before, Number, holder));
  QCOMPARE(run.ctx.FormRead->Result().EventsFiled, 0);
  QCOMPARE(run.history(), before);
}

void TestExchangeEndToEnd::linkDroppedInTheHistory() {
  // The first link is closed after the second history block; later links behave.
  Run run({"--drop-after", "2", "--faulty-links", "1"});
  const int holder = run.addHolder(Number);
  const QByteArray before = run.history();
  int storedAfterFailure = -1, historyAfterFailure = -1;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (storedAfterFailure < 0 && run.ctx.FormRead->Result().linkCode != 0) {
      storedAfterFailure = int(run.stored().size());
      historyAfterFailure = int(run.history().size());
    }
  });
  watch.start(5);
  QCOMPARE(run.exchange(TFormRead::ReadHistoryMode), int(QDialog::Accepted));
  QCOMPARE(storedAfterFailure, 0);
  QCOMPARE(historyAfterFailure, int(before.size()));
  compareRows(run.stored(), ExpectedEvents(before, Number, holder));
  QCOMPARE(run.instrument().history.size(), 0);
}

void TestExchangeEndToEnd::registerFreeAndHeldInstrument() {
  {
    Run run;
    const double de = run.instrument().de;
    QVERIFY(de > 0);
    run.addHolder(Number);
    run.state.RegState.ClearAll = true;
    QCOMPARE(run.exchange(TFormRead::RegisterMode), int(QDialog::Accepted));
    // Held by someone: nothing touched.
    QCOMPARE(run.instrument().history.size(), 40 * 20);
    QCOMPARE(run.instrument().de, de);
    QCOMPARE(run.instrument().activation, QByteArray::fromHex("0f01e807081e00"));
  }
  Run run;
  run.state.RegState.ClearAll = true;
  QCOMPARE(run.exchange(TFormRead::RegisterMode), int(QDialog::Accepted));
  QCOMPARE(run.state.RegState.DeviceId, Number);
  QCOMPARE(run.state.RegState.ActivationTime, DateTimeToDayCount(Now));
  const SimulatorState after = run.instrument();
  QCOMPARE(after.history.size(), 0);
  QCOMPARE(after.de, 0.0);
  QCOMPARE(after.activation, QByteArray::fromHex("0106e9070a141e"));
}

void TestExchangeEndToEnd::clearHistoryAndDose() {
  Run run;
  const int holder = run.addHolder(Number);
  QCOMPARE(run.exchange(TFormRead::ClearDoseMode), int(QDialog::Accepted));
  QCOMPARE(run.instrument().de, 0.0);
  QCOMPARE(run.instrument().history.size(), 40 * 20);
  QCOMPARE(run.exchange(TFormRead::ClearHistoryMode), int(QDialog::Accepted));
  QCOMPARE(run.instrument().history.size(), 0);
  QCOMPARE(run.state.RegState.UserId, holder);
  QVERIFY(run.messages.shown.empty());
}

void TestExchangeEndToEnd::readAndWriteParameters() {
  Run run;
  QCOMPARE(run.exchange(TFormRead::ReadInfoMode), int(QDialog::Accepted));
  QCOMPARE(run.state.LastReadParams.DeviceId, Number);
  const QByteArray block = run.instrument().parameters;

  run.state.ParamsToWrite = run.state.LastReadParams;
  run.state.ParamsToWrite.DoWriteParams = true;
  run.state.ParamsToWrite.HistoryInterval = quint16(run.state.LastReadParams.HistoryInterval + 7);
  QCOMPARE(run.exchange(TFormRead::WriteParametersMode), int(QDialog::Accepted));
  QCOMPARE(run.state.LastReadParams.HistoryInterval, run.state.ParamsToWrite.HistoryInterval);
  const QByteArray written = run.instrument().parameters;
  QVERIFY(written != block);
  // Only the interval (reply bytes 16 and 17) changed.
  QCOMPARE(written.left(12) + written.mid(14), block.left(12) + block.mid(14));
}

void TestExchangeEndToEnd::linkFaults_data() {
  QTest::addColumn<QStringList>("fault");
  QTest::addColumn<bool>("attemptFails"); // the first, faulty link cannot finish the reading
  QTest::newRow("20 busy answers") << QStringList{"--busy", "20:nTH"} << false;
  QTest::newRow("21 busy answers") << QStringList{"--busy", "21:H"} << true;
  QTest::newRow("stray bytes") << QStringList{"--stray", "3:nT"} << false;
  QTest::newRow("pieces") << QStringList{"--split", "4", "--split-pause", "2"} << false;
  QTest::newRow("one byte at a time") << QStringList{"--trickle", "1:nTH"} << false;
  QTest::newRow("silent number") << QStringList{"--silent", "n"} << true;
  QTest::newRow("silent history") << QStringList{"--silent", "H"} << true;
  QTest::newRow("silent clear") << QStringList{"--silent", "C"} << true;
}

// A held instrument read with removal on: faults on the first link only,
// whatever they cost, end with the whole history filed once and then cleared.
void TestExchangeEndToEnd::linkFaults() {
  QFETCH(QStringList, fault);
  QFETCH(bool, attemptFails);
  Run run(QStringList{"--faulty-links", "1"} + fault, attemptFails ? 300 : 0);
  QVERIFY2(run.simulator.isRunning(), run.simulator.errorOutput().constData());
  const int holder = run.addHolder(Number);
  const QByteArray before = run.history();
  int failedAttempts = 0;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (failedAttempts == 0 && run.ctx.FormRead->Result().linkCode != 0)
      failedAttempts = 1;
  });
  watch.start(5);
  QCOMPARE(run.exchange(TFormRead::ReadHistoryMode), int(QDialog::Accepted));
  QCOMPARE(failedAttempts > 0, attemptFails);
  compareRows(run.stored(), ExpectedEvents(before, Number, holder));
  QCOMPARE(run.instrument().history.size(), 0);
  QVERIFY(run.messages.shown.empty());
}

// A serial port that is not there: each attempt fails, saying so in the
// device list, until the operator cancels; the socket is untouched.
void TestExchangeEndToEnd::portThatCannotBeOpened() {
  if (!SerialLinkUnderTest())
    QSKIP("serial ports only");
  Run run;
  run.state.ProgSetting.PortIr = run.folder.file("no-such-port");
  auto *devices = run.ctx.FormRead->findChild<QListWidget *>("lbxDevices");
  QVERIFY(devices);
  QString shown;
  QTimer::singleShot(0, run.ctx.FormRead, [&] {
    QTRY_VERIFY_WITH_TIMEOUT(devices->count() > 0, 5000);
    shown = devices->item(0)->text();
    run.ctx.FormRead->reject();
  });
  QCOMPARE(run.exchange(TFormRead::ReadHistoryMode), int(QDialog::Rejected));
  QCOMPARE(shown, "Port " + run.state.ProgSetting.PortIr + " does not exist");
  QVERIFY(run.stored().isEmpty());
}

void TestExchangeEndToEnd::failedAttemptsSayWhy_data() {
  QTest::addColumn<QStringList>("fault");
  QTest::addColumn<QString>("language");
  QTest::addColumn<QString>("attempt");
  QTest::addColumn<QString>("cause");
  // Behind a serial port the instrument is looked for with its number
  // command. Empty: the fault has no serial form.
  QTest::addColumn<QString>("serialCause");
  QTest::newRow("link lost") << QStringList{"--drop-after", "2"} << ""
                             << "Attempt 2 failed"
                             << "Link lost after block 2"
                             << "Link lost after block 2";
  QTest::newRow("link lost, Russian")
      << QStringList{"--drop-after", "3"} << "LangR.txt"
      << "Попытка 2 не удалась"
      << "Связь прервана после блока 3"
      << "Связь прервана после блока 3";
  QTest::newRow("refused") << QStringList{"--refuse"} << ""
                           << "Attempt 2 failed"
                           << "The instrument refused the connection"
                           << "";
  QTest::newRow("refused, Spanish") << QStringList{"--refuse"} << "LangES.txt"
                                    << "Intento 2 fallido"
                                    << "El instrumento rechazó la conexión"
                                    << "";
  QTest::newRow("silent") << QStringList{"--silent", "n"} << ""
                          << "Attempt 2 failed"
                          << "The instrument stopped answering"
                          << "No instrument in range";
  QTest::newRow("busy") << QStringList{"--busy", "21:T"} << ""
                        << "Attempt 2 failed"
                        << "The instrument stayed busy"
                        << "The instrument stayed busy";
  QTest::newRow("busy, Spanish") << QStringList{"--busy", "21:H"} << "LangES.txt"
                                 << "Intento 2 fallido"
                                 << "El instrumento sigue ocupado"
                                 << "El instrumento sigue ocupado";
  QTest::newRow("nothing in range") << QStringList{} << ""
                                    << "Attempt 2 failed"
                                    << "No instrument in range"
                                    << "";
}

// Every failed attempt leaves its number and its cause in the status bar,
// never "OK", and the attempts go on until Cancel.
void TestExchangeEndToEnd::failedAttemptsSayWhy() {
  QFETCH(QStringList, fault);
  QFETCH(QString, language);
  QFETCH(QString, attempt);
  QFETCH(QString, cause);
  QFETCH(QString, serialCause);
  if (SerialLinkUnderTest()) {
    if (serialCause.isEmpty())
      QSKIP("a serial port has no connection to refuse or miss");
    cause = serialCause;
  }
  Run run(fault, 300);
  QVERIFY2(run.simulator.isRunning(), run.simulator.errorOutput().constData());
  if (fault.isEmpty()) {
    // An endpoint where nobody listens: nothing in range.
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    qputenv("VX4418_IRDA_DEVICES", QByteArray("127.0.0.1:") + QByteArray::number(port));
  }
  if (!language.isEmpty())
    QVERIFY(run.state.Texts.loadLanguageFile(QString(VX_SOURCE_DIR) + "/lang/" + language));
  run.addHolder(Number);
  TFormRead &form = *run.ctx.FormRead;
  // Long enough between attempts to read what the failed one left.
  form.AttemptIntervalMs = 1000;
  QString panel0, panel1;
  QTimer::singleShot(0, &form, [&] {
    QTRY_VERIFY2_WITH_TIMEOUT(form.StatusPanel(0) == attempt,
                              qPrintable("waited for \"" + attempt + "\", the panels show \"" +
                                         form.StatusPanel(0) + "\" and \"" + form.StatusPanel(1) +
                                         "\""),
                              20000);
    panel0 = form.StatusPanel(0);
    panel1 = form.StatusPanel(1);
    form.reject();
  });
  QCOMPARE(run.exchange(TFormRead::ReadHistoryMode), int(QDialog::Rejected));
  QCOMPARE(panel0, attempt);
  QCOMPARE(panel1, cause);
  QVERIFY(run.stored().isEmpty());
}

// After a reading: how many events went under whom, or that none did.
void TestExchangeEndToEnd::readingSaysWhatWasFiled() {
  {
    Run run;
    QCOMPARE(run.exchange(TFormRead::ReadHistoryMode), int(QDialog::Accepted));
    QCOMPARE(FilingSummary(run.ctx.FormRead->Result(), run.state.Texts),
             QString("No events filed: nobody holds instrument %1").arg(Number));
    QVERIFY(run.stored().isEmpty());
  }
  Run run;
  run.addHolder(Number);
  QVERIFY(run.state.Texts.loadLanguageFile(QString(VX_SOURCE_DIR) + "/lang/LangR.txt"));
  QCOMPARE(run.exchange(TFormRead::ReadHistoryMode), int(QDialog::Accepted));
  const int filed = int(run.stored().size());
  QVERIFY(filed > 0);
  QCOMPARE(FilingSummary(run.ctx.FormRead->Result(), run.state.Texts),
           QString("Записано событий: %1, владелец: Holder A B").arg(filed));
}

QTEST_MAIN(TestExchangeEndToEnd)
#include "tst_exchange_e2e.moc"
