// The main window's instrument commands against the instrument simulator over
// the virtual IrDA link: what reaches the database and what the instrument
// keeps afterwards.
#include "InstrumentRun.h"
#include "ShowWatcher.h"
#include "exchanges/FormReg.h"
#include "history/FormViewHist.h"
#include "history/HistoryRecord.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlRecord>

namespace {

// 40 events in blocks of 120 bytes, the main window shown.
struct SimulatorRun : InstrumentRun {
  explicit SimulatorRun(bool registered)
      : InstrumentRun({"--events", "40", "--block-size", "120"}, registered, true) {
    ctx.FormRead->AttemptIntervalMs = 100;
  }
  QList<EventRow> stored() const { return StoredEvents(db()); }
};

// The rows the simulator's records give, in their order.
QList<EventRow> expectedRows(const QByteArray &raw, int userId) {
  return ExpectedEvents(raw, Number, userId);
}

} // namespace

class TestReadInstrument : public QObject {
  Q_OBJECT
private slots:
  void readRegisteredInstrument();
  void readTwiceWithRemovalOff();
  void readUnregisteredThenRegister_data();
  void readUnregisteredThenRegister();
  void clearHistoryAndDose_data();
  void clearHistoryAndDose();
  void cancelledRead();
};

void TestReadInstrument::readRegisteredInstrument() {
  SimulatorRun run(true);
  QVERIFY2(run.simulator.isRunning(), run.simulator.errorOutput().constData());
  QVERIFY(run.before.history.size() >= 40 * 20);
  run.main().SG_User->SelectRow(1);
  ShowWatcher view(run.ctx.FormViewHist, closeDialog);
  run.main().action("AReadHistory")->trigger();
  QCOMPARE(view.seen, 1);
  compareRows(run.stored(), expectedRows(run.before.history, 2));
  QCOMPARE(run.instrument().history.size(), qsizetype(0));
  QCOMPARE(run.main().SG_User->SelectedRow(), 2);
  QVERIFY(run.messages.shown.empty());
}

void TestReadInstrument::readTwiceWithRemovalOff() {
  SimulatorRun run(true);
  run.messages.answers = {false};
  run.main().StatusBar1DblClick();
  ShowWatcher view(run.ctx.FormViewHist, closeDialog);
  run.main().action("AReadHistory")->trigger();
  run.main().action("AReadHistory")->trigger();
  QCOMPARE(view.seen, 2);
  // Every event is filed once, however often the instrument is read.
  compareRows(run.stored(), expectedRows(run.before.history, 2));
  QCOMPARE(run.instrument().history, run.before.history);
}

void TestReadInstrument::readUnregisteredThenRegister_data() {
  QTest::addColumn<bool>("clearAll");
  QTest::newRow("clear all") << true;
  QTest::newRow("save all") << false;
}

void TestReadInstrument::readUnregisteredThenRegister() {
  QFETCH(bool, clearAll);
  SimulatorRun run(false);
  TFormViewHist &view = *run.ctx.FormViewHist;
  int viewTag = -1, storedWhileShown = -1;
  QByteArray historyWhileShown;
  ShowWatcher options(run.ctx.FormReg, [&](QDialog *d) {
    (clearAll ? run.ctx.FormReg->RB_ClearAll : run.ctx.FormReg->RB_SaveAll)->setChecked(true);
    d->accept();
  });
  ShowWatcher viewer(&view, [&](QDialog *) {
    viewTag = view.Tag;
    storedWhileShown = int(run.stored().size());
    historyWhileShown = run.instrument().history;
    view.Cmb_User->setCurrentIndex(
        view.Cmb_User->findText(TFormViewHist::UserItemText("Free", "A", "B")));
    view.tlbReg->trigger();
  });
  run.main().action("AReadHistory")->trigger();
  QCOMPARE(viewer.seen, 1);
  QCOMPARE(viewTag, 0);
  QCOMPARE(storedWhileShown, 0);
  QCOMPARE(historyWhileShown, run.before.history);
  QCOMPARE(options.seen, 1);

  QCOMPARE(scalar(run.db(), "SELECT DeviceId FROM TableUser WHERE UserId = 1"), qint64(Number));
  QCOMPARE(run.users().Cell(3, 1), QString::number(Number));
  QCOMPARE(run.stored().size(), qsizetype(1)); // the receive event only
  const SimulatorState after = run.instrument();
  if (clearAll) {
    QCOMPARE(after.history.size(), qsizetype(0));
    QCOMPARE(after.de, 0.0);
  } else {
    QCOMPARE(after.history, run.before.history);
    QCOMPARE(after.de, run.before.de);
    QCOMPARE(after.activation, run.before.activation);
  }
}

void TestReadInstrument::clearHistoryAndDose_data() {
  QTest::addColumn<bool>("registered");
  QTest::newRow("registered") << true;
  QTest::newRow("unregistered") << false;
}

void TestReadInstrument::clearHistoryAndDose() {
  QFETCH(bool, registered);
  SimulatorRun run(registered);
  QVERIFY(run.before.de > 0);
  run.main().action("AClearDE")->trigger();
  QCOMPARE(run.instrument().de, registered ? 0.0 : run.before.de);
  QCOMPARE(run.instrument().history, run.before.history);
  run.main().action("AClearHistory")->trigger();
  QCOMPARE(run.instrument().history.size(), registered ? qsizetype(0) : run.before.history.size());
  QStringList expected{run.state.Texts.at(84)};
  if (!registered)
    expected << run.state.Texts.at(282);
  expected << run.state.Texts.at(81);
  if (!registered)
    expected << run.state.Texts.at(282);
  QCOMPARE(run.messages.texts(), expected);
  QCOMPARE(run.stored().size(), qsizetype(0));
}

void TestReadInstrument::cancelledRead() {
  SimulatorRun run(true);
  run.ctx.FormRead->AttemptIntervalMs = 60000;
  ShowWatcher exchange(run.ctx.FormRead, [&](QDialog *) { run.ctx.FormRead->SB_Cancel->click(); });
  ShowWatcher view(run.ctx.FormViewHist, closeDialog);
  run.main().action("AReadHistory")->trigger();
  QCOMPARE(exchange.seen, 1);
  QCOMPARE(view.seen, 0);
  QCOMPARE(run.stored().size(), qsizetype(0));
  QCOMPARE(run.instrument().file, run.before.file);
}

QTEST_MAIN(TestReadInstrument)
#include "tst_readinstrument_e2e.moc"
