// The main window's instrument and registration commands over a scripted
// instrument: what each command leaves in the database, in the instrument and
// on the screen.
#include "FakeInstrument.h"
#include "MainWindowRun.h"
#include "ShowWatcher.h"
#include "exchanges/FormParams.h"
#include "exchanges/FormRead.h"
#include "exchanges/FormReg.h"
#include "history/FormViewHist.h"
#include "link/LinkCodes.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>

namespace {

constexpr int Number = 4418; // the instrument answers "0004418"

// The program with three people (the second holds instrument 4418) and an
// instrument in range with five events.
struct CommandRun : Run {
  std::shared_ptr<FakeIrdaStack> stack = std::make_shared<FakeIrdaStack>();
  FakeInstrument instrument;

  explicit CommandRun(const QString &holderDevice = QString::number(Number)) {
    state.Irda = std::make_shared<IrdaTransport>(stack);
    state.Irda->Sleep = [](int) {};
    instrument.Attach(*stack);
    for (int i = 0; i < 5; ++i)
      instrument.Append(Record(1 + i, 2, 24, 9, 10, i % 2 ? 16 : 1, 2.5e-6f, 0, 1e-5f * i));
    quietSettings();
    exec(db(),
         {insertUser("'Free'", "'A'", "'B'"), insertUser("'Holder'", "'C'", "'D'", holderDevice),
          insertUser("'Other'", "'E'", "'F'")});
    start();
    ctx.FormRead->AttemptIntervalMs = 1;
    ctx.FormRead->ConnectPauseMs = 0;
  }
  int events(const QString &where = "1") {
    return int(scalar(db(), "SELECT COUNT(*) FROM TableHistory WHERE " + where));
  }
  qint64 deviceOf(int userId) {
    return scalar(db(), QString("SELECT DeviceId FROM TableUser WHERE UserId = %1").arg(userId));
  }
  bool cleared() const { return instrument.Commands.find('C') != std::string::npos; }
};

} // namespace

class TestInstrumentCommands : public QObject {
  Q_OBJECT
private slots:
  // Reading a history.
  void readRegisteredFilesUnderHolder_data();
  void readRegisteredFilesUnderHolder();
  void removalSwitch();
  void readStopsAfterActivationTimeMessage();
  void cancelledReadDoesNothing();
  void readingOverALevelWarnsOnceInEachLanguage_data();
  void readingOverALevelWarnsOnceInEachLanguage();

  // The register.
  void registration_data();
  void registration();
  void registrationRefused();
  void cancelRegistration();

  // Clearing and settings.
  void clearCommands_data();
  void clearCommands();
  void deviceSettingsOpensParameters();
};

void TestInstrumentCommands::readRegisteredFilesUnderHolder_data() {
  QTest::addColumn<bool>("fromHistoryList");
  QTest::newRow("user list") << false;
  QTest::newRow("history list") << true;
}

void TestInstrumentCommands::readRegisteredFilesUnderHolder() {
  QFETCH(bool, fromHistoryList);
  CommandRun run;
  run.main().SG_User->SelectRow(3);
  if (fromHistoryList) {
    run.viewHistoryOf(3);
    QVERIFY(run.main().HistoryShown());
  }
  int viewTag = -1;
  ShowWatcher view(run.ctx.FormViewHist, [&](QDialog *) { viewTag = run.ctx.FormViewHist->Tag; });
  run.main().action("AReadHistory")->trigger();

  QCOMPARE(view.seen, 1);
  QCOMPARE(viewTag, 1);
  QCOMPARE(run.events(), 5);
  QCOMPARE(run.events("UserId = 2 AND DeviceId = 4418"), 5);
  QVERIFY(run.cleared());
  QVERIFY(run.instrument.History.empty());
  QVERIFY(!run.main().HistoryShown());
  QCOMPARE(run.main().SG_User->SelectedRow(), 2);
  QCOMPARE(run.state.RegState.UserId, 2);
  QCOMPARE(run.state.RegState.SecondName, QString("Holder"));
  QCOMPARE(run.state.RegState.MiddleName, QString("D"));
  QVERIFY(run.messages.shown.empty());
}

void TestInstrumentCommands::removalSwitch() {
  // Reading with removal off is covered against the simulator; here the
  // switch itself, from a double click on the status bar.
  CommandRun run;
  QVERIFY(!run.state.KeepHistoryAfterRead);
  run.messages.answers = {false, true};
  QTest::mouseDClick(run.main().statusBar(), Qt::LeftButton);
  QCOMPARE(run.messages.texts(), QStringList{"Remove history after reading?"});
  QVERIFY(run.state.KeepHistoryAfterRead);
  QTest::mouseDClick(run.main().StatusPanel[2], Qt::LeftButton);
  QCOMPARE(run.messages.shown.size(), std::size_t(2));
  QVERIFY(!run.state.KeepHistoryAfterRead);
}

void TestInstrumentCommands::readStopsAfterActivationTimeMessage() {
  CommandRun run;
  run.instrument.Custom['T'] = [](FakeIrdaStack &s) {
    s.Queue(Frame('T', {15, 13, 0xE8, 0x07, 8, 30, 0}));
    return true;
  };
  ShowWatcher view(run.ctx.FormViewHist, [](QDialog *d) { d->reject(); });
  run.main().action("AReadHistory")->trigger();
  QCOMPARE(run.ctx.FormRead->Result().outcome, ExchangeOutcome::BadActivationTime);
  QCOMPARE(run.messages.texts(), QStringList{run.state.Texts.at(227)});
  QCOMPARE(view.seen, 0);
  QCOMPARE(run.events(), 0);
  QVERIFY(!run.cleared());
}

void TestInstrumentCommands::cancelledReadDoesNothing() {
  CommandRun run;
  run.ctx.FormRead->AttemptIntervalMs = 60000;
  ShowWatcher exchange(run.ctx.FormRead, [&](QDialog *) { run.ctx.FormRead->SB_Cancel->click(); });
  ShowWatcher view(run.ctx.FormViewHist, [](QDialog *d) { d->reject(); });
  run.main().action("AReadHistory")->trigger();
  QCOMPARE(exchange.seen, 1);
  QCOMPARE(view.seen, 0);
  QVERIFY(run.instrument.Commands.empty());
  QCOMPARE(run.events(), 0);
}

void TestInstrumentCommands::readingOverALevelWarnsOnceInEachLanguage_data() {
  QTest::addColumn<QString>("language");
  QTest::addColumn<QString>("over");
  QTest::newRow("English") << "EnglLang"
                           << "over the investigation level of 6.000 mSv";
  QTest::newRow("Russian") << "RussianLang"
                           << "выше контрольного уровня 6.000 мЗв";
  QTest::newRow("Spanish") << "SpanishLang"
                           << "por encima del nivel de investigación de 6.000 mSv";
}

// A reading that takes its holder over the investigation level: the
// read-history window shows the reading's dose and the year's total, and a
// warning names the holder, the total and the level, in the language in use.
// The same events read again add nothing and warn no more.
void TestInstrumentCommands::readingOverALevelWarnsOnceInEachLanguage() {
  QFETCH(QString, language);
  QFETCH(QString, over);
  CommandRun run;
  run.state.clock = std::make_shared<SettableClock>(QDateTime(QDate(2024, 6, 1), QTime(9, 0)));
  run.main().action(language)->trigger();
  const auto fill = [&] {
    run.instrument.History.clear();
    run.instrument.Append(Record(1, 3, 24, 9, 0, 32, 1e-6f, 0, 0.001f));
    run.instrument.Append(Record(2, 3, 24, 9, 0, 32, 1e-6f, 0, 0.004f));
    run.instrument.Append(Record(3, 3, 24, 9, 0, 32, 1e-6f, 0, 0.008f));
  };
  fill();
  QString doseLine;
  ShowWatcher view(run.ctx.FormViewHist,
                   [&](QDialog *) { doseLine = run.ctx.FormViewHist->L_ReadingDose->text(); });
  run.main().action("AReadHistory")->trigger();
  QCOMPARE(view.seen, 1);
  QCOMPARE(run.messages.shown.size(), std::size_t(1));
  QCOMPARE(run.messages.shown[0].kind, OperatorMessages::Warning);
  const QString warning = run.messages.shown[0].text;
  QVERIFY2(warning.contains("Holder C D") && warning.contains("8.000") && warning.contains(over),
           qPrintable(warning));
  QVERIFY2(doseLine.contains("8.000") && doseLine.contains("Holder C D"), qPrintable(doseLine));
  // First what was filed under whom.
  const QString filed = run.state.Texts.text(ProgramText::ReadingFiled);
  QVERIFY2(doseLine.startsWith(filed.arg(3).arg("Holder C D") + u'\n'), qPrintable(doseLine));

  run.messages.shown.clear();
  fill();
  run.main().action("AReadHistory")->trigger();
  QCOMPARE(view.seen, 2);
  QVERIFY(run.messages.shown.empty());
  QVERIFY2(doseLine.contains("0.00000"), qPrintable(doseLine));
  // The cleared instrument's new reading is filed anew.
  QVERIFY2(doseLine.startsWith(filed.arg(3).arg("Holder C D")), qPrintable(doseLine));
}

void TestInstrumentCommands::registration_data() {
  QTest::addColumn<bool>("clearAll");
  QTest::newRow("clear all") << true;
  QTest::newRow("save all") << false;
}

void TestInstrumentCommands::registration() {
  QFETCH(bool, clearAll);
  CommandRun run("-1");
  run.main().SG_User->SelectRow(3);
  ShowWatcher options(run.ctx.FormReg, [&](QDialog *d) {
    (clearAll ? run.ctx.FormReg->RB_ClearAll : run.ctx.FormReg->RB_SaveAll)->setChecked(true);
    d->accept();
  });
  run.main().action("ARegistration")->trigger();
  QCOMPARE(options.seen, 1);
  QCOMPARE(run.state.RegState.ClearAll, clearAll);
  QCOMPARE(run.instrument.Commands, std::string(clearAll ? "nACG" : "n"));
  QCOMPARE(run.deviceOf(3), qint64(Number));
  QCOMPARE(run.users().Cell(3, 3), QString::number(Number));
  QCOMPARE(run.state.User.CurrentUserKey, 3);
  QCOMPARE(run.state.User.SecondName, QString("Other"));
  QCOMPARE(run.events("UserId = 3 AND DeviceId = 4418"), 1); // the receive event
  QVERIFY(run.messages.shown.empty());
}

void TestInstrumentCommands::registrationRefused() {
  CommandRun run;
  bool accept = true;
  ShowWatcher options(run.ctx.FormReg, [&](QDialog *d) {
    if (accept)
      d->accept();
  });
  // A person who already holds an instrument: silently nothing.
  run.main().SG_User->SelectRow(2);
  run.main().action("ARegistration")->trigger();
  QCOMPARE(options.seen, 0);
  // An empty row: nothing.
  run.main().SG_User->SelectRow(10);
  run.main().action("ARegistration")->trigger();
  QCOMPARE(options.seen, 0);

  // The instrument is held by someone else: the exchange leaves it as it is
  // and the register is not touched.
  run.main().SG_User->SelectRow(1);
  run.main().action("ARegistration")->trigger();
  QCOMPARE(options.seen, 1);
  QCOMPARE(run.instrument.Commands, std::string("n"));
  QCOMPARE(run.messages.texts(), QStringList{run.state.Texts.at(69)});
  QCOMPARE(run.deviceOf(1), qint64(-1));
  QCOMPARE(run.events(), 0);

  // The options window cancelled: no exchange.
  accept = false;
  run.main().action("ARegistration")->trigger();
  QCOMPARE(options.seen, 2);
  QCOMPARE(run.instrument.Commands, std::string("n"));
}

void TestInstrumentCommands::cancelRegistration() {
  CommandRun run;
  // A row without an instrument: no question.
  run.main().SG_User->SelectRow(1);
  run.main().action("ACancelReg")->trigger();
  QVERIFY(run.messages.shown.empty());

  run.main().SG_User->SelectRow(2);
  run.messages.answers = {false};
  run.main().action("ACancelReg")->trigger();
  QCOMPARE(run.messages.texts(), QStringList{run.state.Texts.at(64)});
  QCOMPARE(run.deviceOf(2), qint64(Number));

  run.main().action("ACancelReg")->trigger();
  QCOMPARE(run.deviceOf(2), qint64(-1));
  QVERIFY(run.users().Cell(3, 2).isEmpty());
  QCOMPARE(run.events("UserId = 2 AND DeviceId = 4418"), 1); // the hand-back event
}

void TestInstrumentCommands::clearCommands_data() {
  QTest::addColumn<QString>("command");
  QTest::addColumn<bool>("registered");
  QTest::addColumn<bool>("answer");
  QTest::addColumn<int>("question");
  QTest::addColumn<QString>("sent");
  QTest::newRow("history, no") << "AClearHistory" << true << false << 81 << "";
  QTest::newRow("history, registered") << "AClearHistory" << true << true << 81 << "nC";
  QTest::newRow("history, unregistered") << "AClearHistory" << false << true << 81 << "n";
  QTest::newRow("DE, no") << "AClearDE" << true << false << 84 << "";
  QTest::newRow("DE, registered") << "AClearDE" << true << true << 84 << "nG";
  QTest::newRow("DE, unregistered") << "AClearDE" << false << true << 84 << "n";
}

void TestInstrumentCommands::clearCommands() {
  QFETCH(QString, command);
  QFETCH(bool, registered);
  QFETCH(bool, answer);
  QFETCH(int, question);
  QFETCH(QString, sent);
  CommandRun run(registered ? QString::number(Number) : "-1");
  run.messages.answers = {answer};
  ShowWatcher exchange(run.ctx.FormRead);
  run.main().SG_User->SelectRow(3);
  run.main().action(command)->trigger();
  QCOMPARE(run.instrument.Commands, sent.toStdString());
  QCOMPARE(exchange.seen, answer ? 1 : 0);
  QStringList expected{run.state.Texts.at(question)};
  if (answer && !registered)
    expected << run.state.Texts.at(282);
  QCOMPARE(run.messages.texts(), expected);
  QCOMPARE(run.events(), 0);
  QCOMPARE(run.main().SG_User->SelectedRow(), 3);
  QCOMPARE(run.ctx.FormRead->Tag, 0);
}

void TestInstrumentCommands::deviceSettingsOpensParameters() {
  CommandRun run;
  ShowWatcher params(run.ctx.FormParams, [](QDialog *d) { d->reject(); });
  run.main().action("ADevice")->trigger();
  QCOMPARE(params.seen, 1);
  QVERIFY(run.instrument.Commands.empty());
}

QTEST_MAIN(TestInstrumentCommands)
#include "tst_instrumentcommands.moc"
