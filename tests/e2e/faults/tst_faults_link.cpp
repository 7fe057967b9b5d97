// Faults on the infrared link, end to end: the program's windows against the
// instrument simulator. After every exchange attempt and at the end, what the
// instrument lost must be in the database, and nothing may be filed twice.
#include "InstrumentRun.h"
#include "ShowWatcher.h"
#include "history/FormViewHist.h"
#include "link/InstrumentProtocol.h"
#include "link/ParameterBlock.h"

#include <QAction>

class TestLinkFaults : public QObject {
  Q_OBJECT
private slots:
  void linkDroppedAfterEveryBlock();
  void faultAtEveryCommand_data();
  void faultAtEveryCommand();
};

// One read command against an instrument whose link breaks after block 1 on
// the first attempt, after block 2 on the second, ... and after the last
// block on the 300th; the 301st attempt finds a sound link.
void TestLinkFaults::linkDroppedAfterEveryBlock() {
  constexpr int Blocks = 300;
  InstrumentRun run({"--events", "450", "--block-size", "30", "--drop-after", "1", "--drop-advance",
                     "--faulty-links", QString::number(Blocks)},
                    true, true);
  QVERIFY2(run.simulator.isRunning(), run.simulator.errorOutput().constData());
  QCOMPARE(run.before.history.size(), qsizetype(Blocks * 30));
  const QList<EventRow> once = ExpectedEvents(run.before.history, Number, HolderKey);
  QVERIFY(once.size() > 300);

  struct Attempt {
    qsizetype filed;
    qsizetype kept; // history bytes the instrument still holds
  };
  QList<Attempt> attempts;
  run.stack->linkClosed = [&] {
    attempts << Attempt{run.storedCount(), run.instrument().history.size()};
  };
  ShowWatcher view(run.ctx.FormViewHist, closeDialog);
  run.main().action("AReadHistory")->trigger();

  QCOMPARE(attempts.size(), Blocks + 1);
  const qsizetype whole = run.before.history.size();
  for (int i = 0; i < Blocks - 1; ++i)
    QVERIFY2(attempts[i].filed == 0 && attempts[i].kept == whole,
             qPrintable(QStringLiteral("dropped after block %1: %2 events filed, %3 bytes kept")
                            .arg(i + 1)
                            .arg(attempts[i].filed)
                            .arg(attempts[i].kept)));
  // Dropped right after the last block: the whole history arrived and was
  // filed, but the clear command found no link.
  QCOMPARE(attempts[Blocks - 1].filed, once.size());
  QCOMPARE(attempts[Blocks - 1].kept, whole);
  // The sound link: nothing filed again, and only now cleared.
  QCOMPARE(attempts[Blocks].filed, once.size());
  QCOMPARE(attempts[Blocks].kept, qsizetype(0));

  QCOMPARE(view.seen, 1);
  const QString differ = EventsDiffer(StoredEvents(run.db()), once);
  QVERIFY2(differ.isEmpty(), qPrintable(differ));
  QCOMPARE(run.main().SG_User->SelectedRow(), 2);
  QVERIFY(run.messages.shown.empty());
}

void TestLinkFaults::faultAtEveryCommand_data() {
  QTest::addColumn<int>("mode");
  QTest::addColumn<QStringList>("fault");
  QTest::addColumn<bool>("attemptsFail");  // the faulty links cannot finish the mode
  QTest::addColumn<bool>("badActivation"); // ends with the activation-time message

  // The commands each mode sends (mode 1 for a held instrument with removal
  // on, 2 with the clear-all option, 4 with every write option).
  const QList<QPair<int, QByteArray>> modes{{1, "nTHC"},   {2, "nACG"}, {3, "nPT"},
                                            {4, "PSACnT"}, {5, "nC"},   {6, "nG"}};
  for (const auto &[mode, commands] : modes) {
    for (const char c : commands) {
      const QString letter(QChar::fromLatin1(c));
      const bool history = c == 'H';
      // Checksums are checked on the number, parameter, activation and
      // history replies; the acknowledgements are not examined.
      const bool checked =
          (c == 'P' && (mode == 3 || mode == 4)) || c == 'T' || c == 'n' || history;
      const struct {
        const char *name;
        QStringList arguments;
        bool fails;
      } faults[] = {
          // Up to 20 busy answers are waited out, per history block too.
          // Over a serial port the search asks for the number first, so a
          // storm on it passes during the search and the exchange finds the
          // instrument ready.
          {"busy answers", {"--busy", "20:" + letter}, false},
          {"busy storm", {"--busy", "21:" + letter}, c != 'n' || !SerialLinkUnderTest()},
          {"stray bytes", {"--stray", "3:" + letter}, history},
          {"pieces", {"--split", "4:" + letter, "--split-pause", "2"}, false},
          {"wrong checksum", {"--bad-checksum", letter}, checked && c != 'T'},
          {"damaged after the checksum", {"--damage", letter}, checked && c != 'T'},
          {"silence", {"--silent", letter}, true},
      };
      for (const auto &f : faults)
        QTest::addRow("mode %d, %c, %s", mode, c, f.name)
            << mode << f.arguments << f.fails
            << (c == 'T' && (QByteArray(f.name) == "wrong checksum" ||
                             QByteArray(f.name) == "damaged after the checksum"));
      if (c == 'T')
        QTest::addRow("mode %d, T, impossible date", mode)
            << mode << QStringList{"--bad-date"} << false << true;
    }
  }
}

// Each fault shows on the first link only, so a mode whose attempts fail
// must retry and finish on the second.
void TestLinkFaults::faultAtEveryCommand() {
  QFETCH(int, mode);
  QFETCH(QStringList, fault);
  QFETCH(bool, attemptsFail);
  QFETCH(bool, badActivation);
  const bool held = mode != 2;
  InstrumentRun run(QStringList{"--events", "40", "--block-size", "120", "--faulty-links", "1"} +
                        fault,
                    held, mode == 1, attemptsFail ? 300 : 0);
  QVERIFY2(run.simulator.isRunning(), run.simulator.errorOutput().constData());
  const SimulatorState &before = run.before;
  QVERIFY(before.history.size() == 40 * 20 && before.de > 0);
  if (mode == 1)
    run.checkEveryAttempt();

  DEVICE_PARAMS wanted;
  bool accepted = true;
  int viewShown = 0;
  switch (mode) {
  case 1: {
    ShowWatcher view(run.ctx.FormViewHist, closeDialog);
    run.main().action("AReadHistory")->trigger();
    viewShown = view.seen;
    break;
  }
  case 2:
    run.state.RegState.ClearAll = true;
    accepted = run.exchange(mode);
    break;
  case 4: {
    QByteArray reply = QByteArray("\x55\x21P\x01", 4) + before.parameters;
    reply += char(FrameChecksum(reinterpret_cast<const std::uint8_t *>(reply.constData()), 33));
    QVERIFY(DecodeParameterReply(reinterpret_cast<const std::uint8_t *>(reply.constData()), 34,
                                 wanted));
    wanted.HistoryInterval = quint16(wanted.HistoryInterval + 7);
    wanted.DoWriteParams = wanted.DoSetActivationTime = wanted.DoClearHistory = true;
    run.state.ParamsToWrite = wanted;
    accepted = run.exchange(mode);
    break;
  }
  default:
    accepted = run.exchange(mode);
    break;
  }

  QVERIFY(accepted);
  QVERIFY2(run.lostOrTwice.isEmpty(), qPrintable(run.lostOrTwice.join("; ")));
  if (attemptsFail)
    QVERIFY2(run.stack->attempts >= 2, qPrintable(QString::number(run.stack->attempts)));
  QCOMPARE(run.messages.texts(),
           badActivation ? QStringList{run.state.Texts.at(227)} : QStringList{});

  const SimulatorState after = run.instrument();
  const QList<EventRow> stored = StoredEvents(run.db());
  if (mode == 1 && !badActivation) {
    QCOMPARE(viewShown, 1);
    const QString differ = EventsDiffer(stored, ExpectedEvents(before.history, Number, HolderKey));
    QVERIFY2(differ.isEmpty(), qPrintable(differ));
  } else {
    QCOMPARE(stored.size(), qsizetype(0));
  }

  switch (mode) {
  case 1:
    QCOMPARE(viewShown, badActivation ? 0 : 1);
    QCOMPARE(after.history.size(), badActivation ? before.history.size() : qsizetype(0));
    QCOMPARE(after.de, before.de);
    break;
  case 2:
    QCOMPARE(after.history.size(), qsizetype(0));
    QCOMPARE(after.de, 0.0);
    QCOMPARE(after.activation.toHex(), NowGroup.toLatin1());
    break;
  case 3:
    QCOMPARE(after.file, before.file);
    QCOMPARE(run.state.LastReadParams.DeviceId, Number);
    break;
  case 4:
    QCOMPARE(after.history.size(), qsizetype(0));
    QCOMPARE(after.activation.toHex(), NowGroup.toLatin1());
    QVERIFY(after.parameters != before.parameters);
    // Only the history interval (reply bytes 16 and 17) changed.
    QCOMPARE(after.parameters.left(12) + after.parameters.mid(14),
             before.parameters.left(12) + before.parameters.mid(14));
    QCOMPARE(after.de, before.de);
    break;
  case 5:
    QCOMPARE(after.history.size(), qsizetype(0));
    QCOMPARE(after.de, before.de);
    break;
  case 6:
    QCOMPARE(after.history, before.history);
    QCOMPARE(after.de, 0.0);
    break;
  }
}

QTEST_MAIN(TestLinkFaults)
#include "tst_faults_link.moc"
