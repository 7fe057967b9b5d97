#pragma once
// The program on a throw-away folder with one simulated instrument in range,
// for the end-to-end tests of the instrument commands and the fault tests.
#include "HistoryRows.h"
#include "LinkUnderTest.h"
#include "MainWindowRun.h"
#include "SimulatorProcess.h"
#include "exchanges/FormRead.h"

constexpr int Number = 4418123;
constexpr int HolderKey = 2; // 'Free' is user 1
const QDateTime Now(QDate(2025, 6, 1), QTime(10, 20, 30));
const QString NowGroup = "0106e9070a141e"; // Now as the instrument keeps it

// The program on a throw-away folder with one simulated instrument in range,
// reached through the real virtual link, or the serial backend and a
// pseudo-terminal when CTest asks for the serial transport. The register holds
// 'Free' (no instrument) and, when asked, 'Holder' with the instrument.
struct InstrumentRun : Run {
  QString stateFile = folder.file("instrument.json");
  SimulatorProcess simulator;
  ObservedIrdaStack *stack = nullptr;
  SimulatorState before;

  // With `mainWindow` the main window is shown as at start (it reads the
  // settings, which name the same database); without, only the exchange
  // window is used. `waitMs` shortens the link's time-out (0: the options
  // library's) for instruments that leave requests unanswered.
  InstrumentRun(const QStringList &arguments, bool registered, bool mainWindow, int waitMs = 0)
      : simulator(QStringList{"--state", stateFile, "--number", QString::number(Number)} +
                  SimulatorLinkArguments(folder.file("ttyVX4418")) + arguments) {
    qputenv("VX4418_IRDA_DEVICES", simulator.endpoint());
    auto observed = ObservedLinkUnderTest(state, simulator.serialPath(), waitMs);
    stack = observed.get();
    state.Irda = std::make_shared<IrdaTransport>(observed);
    state.clock = std::make_shared<SettableClock>(Now);
    quietSettings(LinkSettingsLines(simulator.serialPath()));
    QStringList users{insertUser("'Free'", "'A'", "'B'")};
    if (registered)
      users << insertUser("'Holder'", "'C'", "'D'", QString::number(Number));
    exec(db(), users);
    state.Paths.ADOFile = db();
    if (mainWindow)
      start();
    else
      windows = CreateProgramWindows(ctx);
    ctx.FormRead->AttemptIntervalMs = 1;
    ctx.FormRead->ConnectPauseMs = 0;
    // The window repaints its progress bar after every history block; the
    // tests look at data only, and unpainted they run ten times faster.
    ctx.FormRead->setUpdatesEnabled(false);
    before = instrument();
  }
  SimulatorState instrument() const {
    SimulatorState s;
    s.load(stateFile);
    return s;
  }
  qsizetype storedCount() const {
    return SelectRows(db(), "SELECT COUNT(*) FROM TableHistory").value(0).value(0).toLongLong();
  }
  bool exchange(int mode) {
    ctx.FormRead->Tag = mode;
    ctx.FormRead->ApplyTexts(mode);
    return ctx.FormRead->exec() == QDialog::Accepted;
  }
  // Checked at the end of every attempt: whatever history the instrument no
  // longer holds is filed, once.
  QStringList lostOrTwice;
  void checkEveryAttempt() {
    const qsizetype all = ExpectedEvents(before.history, Number, HolderKey).size();
    stack->linkClosed = [this, all] {
      const qsizetype rows = storedCount();
      const bool kept = instrument().history == before.history;
      if (rows != 0 && rows != all)
        lostOrTwice << QStringLiteral("attempt %1: %2 of %3 events filed")
                           .arg(stack->attempts)
                           .arg(rows)
                           .arg(all);
      else if (!kept && rows != all)
        lostOrTwice
            << QStringLiteral("attempt %1: history cleared, not filed").arg(stack->attempts);
    };
  }
};

inline void closeDialog(QDialog *d) {
  d->reject();
}
