// The database under stress, end to end: the program killed while it files a
// full history, the database file deleted or made read-only while the program
// runs, and two copies of the program filing into one file at once. Whatever
// happens, an instrument loses no history that is not in the database, and
// no event is filed twice.
#include "FilingProcess.h"
#include "InstrumentRun.h"
#include "ShowWatcher.h"
#include "db/TDM.h"
#include "exchanges/FormReg.h"
#include "history/FormViewHist.h"
#include "link/HistoryArea.h"

#include <QAction>
#include <QRadioButton>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString FilingProgram = QStringLiteral(VX_FILING_PROGRAM);

// The database as the program finds it at its next start: opened by the data
// module, events without a code purged, then checked page by page. "ok" when
// the file is sound.
QString IntegrityAtRestart(const QString &db) {
  AppState state;
  TDM dm(state.clock, db);
  if (!dm.History().PurgeUntypedEvents())
    return "cannot open: " + dm.LastError();
  const QList<EventRow> rows = SelectRows(db, QStringLiteral("PRAGMA integrity_check"));
  if (rows.isEmpty())
    return QStringLiteral("cannot check");
  return rows.value(0).value(0).toString();
}

qsizetype EventsOf(const QString &db, int deviceId) {
  return SelectRows(
             db,
             QStringLiteral("SELECT COUNT(*) FROM TableHistory WHERE DeviceId = %1").arg(deviceId))
      .value(0)
      .value(0)
      .toLongLong();
}

// Nanoseconds of the last change of a file (0 when it does not exist).
qint64 ChangedAt(const QString &path) {
  struct stat s {};
  if (stat(QFile::encodeName(path).constData(), &s) != 0)
    return 0;
  return qint64(s.st_mtim.tv_sec) * 1000000000 + s.st_mtim.tv_nsec;
}

// Waits until the file changes (SQLite writing its write-ahead log), at most
// `ms` milliseconds.
bool WaitForChange(const QString &path, qint64 since, int ms) {
  const QDeadlineTimer deadline(ms);
  while (ChangedAt(path) == since)
    if (deadline.hasExpired())
      return false;
  return true;
}

// The immutable flag: a file nobody may write, not even the superuser (for
// whom the permission bits do not bind). False when the file system or the
// process's rights do not allow it.
bool SetImmutable(const QString &path, bool on) {
  const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
  if (fd < 0)
    return false;
  int flags = 0;
  bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (ok) {
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    ok = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  close(fd);
  return ok;
}

bool Writable(const QString &path) {
  return access(QFile::encodeName(path).constData(), W_OK) == 0;
}

// Makes the file read-only for this process; false when it stays writable.
bool MakeReadOnly(const QString &path) {
  QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
  if (Writable(path))
    SetImmutable(path, true);
  return !Writable(path);
}

void MakeWritable(const QString &path) {
  SetImmutable(path, false);
  QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

// A consistent copy of a database in use, taken through SQLite.
bool CopyDatabase(const QString &from, const QString &to) {
  QFile::remove(to);
  const QString name = "test-copier";
  bool ok = false;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
    db.setDatabaseName(from);
    db.setConnectOptions("QSQLITE_BUSY_TIMEOUT=5000");
    ok = db.open() && QSqlQuery(db).exec("VACUUM INTO '" + to + "'");
  }
  QSqlDatabase::removeDatabase(name);
  return ok;
}

void RemoveDatabase(const QString &db) {
  for (const char *suffix : {"", "-wal", "-shm"})
    QFile::remove(db + suffix);
}

} // namespace

class TestDatabaseFaults : public QObject {
  Q_OBJECT
private slots:
  void initTestCase();
  void killedWhileFiling();
  void killedDuringTheExchange();
  void twoCopiesFilingAtOnce();
  void twoDesksFilingOneReadingStoreItOnce();
  void databaseDeletedWhileRunning();
  void databaseMadeReadOnlyWhileRunning_data();
  void databaseMadeReadOnlyWhileRunning();
};

void TestDatabaseFaults::initTestCase() {
  QVERIFY(QFile::exists(FilingProgram));
  QCOMPARE(FullHistory().size(), qsizetype(HistoryArea::Capacity));
}

// The filing of a full history (one transaction of 13,317 inserts) killed at
// moments spread over its length and as soon as SQLite writes its log.
void TestDatabaseFaults::killedWhileFiling() {
  ProgramFolder folder;
  const QString db = folder.databasePath();
  const QString raw = folder.file("history.raw");
  writeFile(raw, FullHistory());
  const qsizetype all = ExpectedEvents(FullHistory(), 0, 0).size();
  const auto filer = [&](int device) {
    return std::make_unique<FilingProcess>(
        FilingProgram, QStringList{"store", db, raw, QString::number(device), "7"});
  };

  // How long filing takes on this machine.
  auto whole = filer(1000);
  QVERIFY(whole->waitFor("READY"));
  whole->go();
  QVERIFY(whole->waitFor("DONE"));
  QCOMPARE(whole->done().value(0), QByteArray("1"));
  const int filingMs = qMax(1, whole->done().value(1).toInt());
  QCOMPARE(EventsOf(db, 1000), all);

  // Kills spread from the start of the filing to half as long again after its
  // usual end, then kills as soon as the log is written.
  int none = 0, every = 0;
  const int Spread = 16, OnLog = 4;
  for (int i = 0; i < Spread + OnLog; ++i) {
    const int device = 2000 + i;
    auto p = filer(device);
    QVERIFY2(p->waitFor("READY"), p->errorOutput().constData());
    const qint64 logBefore = ChangedAt(db + "-wal");
    p->go();
    QVERIFY(p->waitFor("FILING"));
    if (i < Spread)
      QThread::usleep(quint64(filingMs) * 1500 * quint64(i) / Spread);
    else
      WaitForChange(db + "-wal", logBefore, 10000);
    p->kill();

    QCOMPARE(IntegrityAtRestart(db), QString("ok"));
    const qsizetype filed = EventsOf(db, device);
    QVERIFY2(filed == 0 || filed == all,
             qPrintable(QStringLiteral("kill %1: %2 of %3 events").arg(i).arg(filed).arg(all)));
    (filed == 0 ? none : every)++;
  }
  qInfo("%d kills: %d left nothing filed, %d everything (filing takes %d ms)", Spread + OnLog, none,
        every, filingMs);
  // Earlier readings are untouched, and the file takes the next one.
  QCOMPARE(EventsOf(db, 1000), all);
  auto after = filer(3000);
  QVERIFY(after->waitFor("READY"));
  after->go();
  QVERIFY(after->waitFor("DONE"));
  QCOMPARE(EventsOf(db, 3000), all);
}

// The program's own read command path (the exchange in mode 1 files the
// history under the holder, then clears the instrument) killed at moments
// spread over a full transfer and filing: the database holds all events of
// the reading or none, and an instrument that lost its history has all of
// them filed.
void TestDatabaseFaults::killedDuringTheExchange() {
  ProgramFolder folder;
  const QString db = folder.databasePath();
  constexpr int Kills = 12, OnLog = 2, FirstNumber = 4418300;
  QStringList holders;
  for (int i = 0; i <= Kills; ++i)
    holders << insertUser(QString("'Holder %1'").arg(i), "'A'", "'B'",
                          QString::number(FirstNumber + i));
  exec(db, holders);

  struct Reading {
    std::unique_ptr<SimulatorProcess> instrument;
    std::unique_ptr<FilingProcess> program;
    QString stateFile;
  };
  const auto reading = [&](int i) {
    Reading r;
    r.stateFile = folder.file(QString("instrument%1.json").arg(i));
    r.instrument = std::make_unique<SimulatorProcess>(
        QStringList{"--state", r.stateFile, "--number", QString::number(FirstNumber + i),
                    "--events", QString::number(FullEvents)});
    r.program = std::make_unique<FilingProcess>(FilingProgram, QStringList{"read", db},
                                                r.instrument->endpoint());
    return r;
  };
  const qsizetype all = ExpectedEvents(FullHistory(), 0, 0).size();

  Reading whole = reading(0);
  QVERIFY(whole.program->waitFor("READY"));
  whole.program->go();
  QVERIFY(whole.program->waitFor("DONE", 60000));
  QCOMPARE(whole.program->done().value(0), QByteArray("1"));
  const int exchangeMs = qMax(1, whole.program->done().value(1).toInt());
  QCOMPARE(EventsOf(db, FirstNumber), all);

  int none = 0, filedKept = 0, filedCleared = 0;
  for (int i = 1; i <= Kills; ++i) {
    Reading r = reading(i);
    SimulatorState before;
    QVERIFY(before.load(r.stateFile));
    QVERIFY(r.program->waitFor("READY"));
    const qint64 logBefore = ChangedAt(db + "-wal");
    r.program->go();
    QVERIFY(r.program->waitFor("FILING"));
    // Spread from the start to a third as long again after its usual end,
    // then as soon as the log is written.
    if (i <= Kills - OnLog)
      QThread::usleep(quint64(exchangeMs) * 1300 * quint64(i) / quint64(Kills - OnLog));
    else
      WaitForChange(db + "-wal", logBefore, 30000);
    r.program->kill();
    r.instrument->stop();

    QCOMPARE(IntegrityAtRestart(db), QString("ok"));
    const qsizetype filed = EventsOf(db, FirstNumber + i);
    SimulatorState after;
    QVERIFY(after.load(r.stateFile));
    QVERIFY2(filed == 0 || filed == all,
             qPrintable(QStringLiteral("kill %1: %2 of %3 events").arg(i).arg(filed).arg(all)));
    if (after.history.isEmpty()) {
      QCOMPARE(filed, all);
      ++filedCleared;
    } else {
      QCOMPARE(after.history, before.history);
      (filed == 0 ? none : filedKept)++;
    }
  }
  qInfo("%d kills: %d nothing filed, %d filed and not yet cleared, %d filed and cleared "
        "(exchange takes %d ms)",
        Kills, none, filedKept, filedCleared, exchangeMs);
}

// Two copies of the program, each reading its own instrument, file into one
// database at the same moment; and two copies filing a full history each
// through the data module at once.
void TestDatabaseFaults::twoCopiesFilingAtOnce() {
  ProgramFolder folder;
  const QString db = folder.databasePath();
  constexpr int A = 4418401, B = 4418402;
  exec(db, {insertUser("'Holder'", "'A'", "'A'", QString::number(A)),
            insertUser("'Holder'", "'B'", "'B'", QString::number(B))});
  const QString stateA = folder.file("a.json"), stateB = folder.file("b.json");
  const QString events = QString::number(FullEvents);
  SimulatorProcess a({"--state", stateA, "--number", QString::number(A), "--events", events});
  SimulatorProcess b(
      {"--state", stateB, "--number", QString::number(B), "--events", events, "--seed", "7"});
  SimulatorState beforeA, beforeB;
  QVERIFY(beforeA.load(stateA) && beforeB.load(stateB));
  QVERIFY(beforeA.history != beforeB.history);

  const QString raw = folder.file("history.raw");
  writeFile(raw, FullHistory());
  FilingProcess copies[] = {
      {FilingProgram, {"read", db}, a.endpoint()},
      {FilingProgram, {"read", db}, b.endpoint()},
      {FilingProgram, {"store", db, raw, "5001", "9"}},
      {FilingProgram, {"store", db, raw, "5002", "9"}},
  };
  for (FilingProcess &p : copies)
    QVERIFY2(p.waitFor("READY"), p.errorOutput().constData());
  for (FilingProcess &p : copies)
    p.go();
  for (FilingProcess &p : copies) {
    QVERIFY(p.waitFor("DONE", 60000));
    QCOMPARE(p.done().value(0), QByteArray("1"));
  }

  QString differ = EventsDiffer(StoredEvents(db, A), ExpectedEvents(beforeA.history, A, 1));
  QVERIFY2(differ.isEmpty(), qPrintable(differ));
  differ = EventsDiffer(StoredEvents(db, B), ExpectedEvents(beforeB.history, B, 2));
  QVERIFY2(differ.isEmpty(), qPrintable(differ));
  const qsizetype all = ExpectedEvents(FullHistory(), 0, 0).size();
  QCOMPARE(EventsOf(db, 5001), all);
  QCOMPARE(EventsOf(db, 5002), all);
  SimulatorState afterA, afterB;
  QVERIFY(afterA.load(stateA) && afterB.load(stateB));
  QCOMPARE(afterA.history.size(), qsizetype(0));
  QCOMPARE(afterB.history.size(), qsizetype(0));
  QCOMPARE(IntegrityAtRestart(db), QString("ok"));
}

// Two desks file a reading of the same instrument at the same moment (both
// read it before either cleared it): its events are stored once, not twice.
void TestDatabaseFaults::twoDesksFilingOneReadingStoreItOnce() {
  ProgramFolder folder;
  const QString db = folder.databasePath();
  constexpr int Number = 4418403;
  exec(db, {insertUser("'Holder'", "'C'", "'C'", QString::number(Number))});
  const QString raw = folder.file("history.raw");
  writeFile(raw, FullHistory());
  FilingProcess desks[] = {
      {FilingProgram, {"file", db, raw, QString::number(Number)}},
      {FilingProgram, {"file", db, raw, QString::number(Number)}},
  };
  for (FilingProcess &p : desks)
    QVERIFY2(p.waitFor("READY"), p.errorOutput().constData());
  for (FilingProcess &p : desks)
    p.go();
  const qsizetype all = ExpectedEvents(FullHistory(), 0, 0).size();
  qsizetype filed = 0;
  for (FilingProcess &p : desks) {
    QVERIFY(p.waitFor("DONE", 60000));
    QCOMPARE(p.done().value(0), QByteArray("1"));
    filed += p.done().value(2).toLongLong();
  }
  QCOMPARE(filed, all); // one desk filed everything, the other nothing
  QCOMPARE(EventsOf(db, Number), all);
  QCOMPARE(IntegrityAtRestart(db), QString("ok"));
}

// The database file (with its log) deleted under the running program: the
// read fails with its message and clears nothing, registering and cancelling
// a registration look the person up first and stop with the database message;
// once the file is back the program files the reading as if nothing had been.
void TestDatabaseFaults::databaseDeletedWhileRunning() {
  InstrumentRun run({"--events", "40", "--block-size", "120"}, true, true);
  QVERIFY2(run.simulator.isRunning(), run.simulator.errorOutput().constData());
  const QString backup = run.folder.file("backup.db");
  QVERIFY(CopyDatabase(run.db(), backup));
  const TextTable &t = run.state.Texts;
  RemoveDatabase(run.db());

  ShowWatcher view(run.ctx.FormViewHist, closeDialog);
  run.main().action("AReadHistory")->trigger();
  QCOMPARE(view.seen, 0);
  QCOMPARE(run.messages.texts(), QStringList{t.at(67)});
  QCOMPARE(run.instrument().file, run.before.file);

  ShowWatcher options(run.ctx.FormReg, [&](QDialog *d) {
    run.ctx.FormReg->RB_ClearAll->setChecked(true);
    d->accept();
  });
  run.main().SG_User->SelectRow(1); // 'Free', no instrument
  run.main().action("ARegistration")->trigger();
  // The person cannot be looked up again: told before any exchange.
  QCOMPARE(options.seen, 0);
  QCOMPARE(run.messages.texts(), (QStringList{t.at(67), t.at(67)}));
  QCOMPARE(run.instrument().file, run.before.file);

  run.messages.answers = {true};
  run.main().SG_User->SelectRow(2); // 'Holder'
  run.main().action("ACancelReg")->trigger();
  run.main().action("AViewHistory")->trigger();
  run.main().action("ASelectUser")->trigger();
  QCOMPARE(run.messages.texts(), (QStringList{t.at(67), t.at(67), t.at(67)}));
  QVERIFY(!QFile::exists(run.db())); // never made up anew

  QVERIFY(QFile::copy(backup, run.db()));
  run.main().action("AReadHistory")->trigger();
  QCOMPARE(view.seen, 1);
  const QString differ =
      EventsDiffer(StoredEvents(run.db()), ExpectedEvents(run.before.history, Number, HolderKey));
  QVERIFY2(differ.isEmpty(), qPrintable(differ));
  QCOMPARE(run.instrument().history.size(), qsizetype(0));
  QCOMPARE(run.messages.shown.size(), size_t(3));
}

void TestDatabaseFaults::databaseMadeReadOnlyWhileRunning_data() {
  QTest::addColumn<bool>("replaced");
  QTest::newRow("replaced by a read-only copy") << true;
  QTest::newRow("made read-only in place") << false;
}

// The database file made read-only while the program runs (in place, or
// replaced by a read-only copy as a restore from a backup would): the read
// fails with its message and the instrument keeps its history; made writable
// again, the next read files the history once.
void TestDatabaseFaults::databaseMadeReadOnlyWhileRunning() {
  QFETCH(bool, replaced);
  InstrumentRun run({"--events", "40", "--block-size", "120"}, true, true);
  QVERIFY2(run.simulator.isRunning(), run.simulator.errorOutput().constData());
  const QString db = run.db();
  if (replaced) {
    const QString copy = run.folder.file("copy.db");
    QVERIFY(CopyDatabase(db, copy));
    QVERIFY(::rename(QFile::encodeName(copy).constData(), QFile::encodeName(db).constData()) == 0);
  }
  const bool readOnly = MakeReadOnly(db);
  struct Restore {
    QString path;
    ~Restore() { MakeWritable(path); }
  } restore{db};
  if (!readOnly)
    qInfo("the file stays writable for this process; only loss is checked");

  const QList<EventRow> once = ExpectedEvents(run.before.history, Number, HolderKey);
  ShowWatcher view(run.ctx.FormViewHist, closeDialog);
  run.main().action("AReadHistory")->trigger();
  const bool cleared = run.instrument().history.isEmpty();
  if (readOnly || !cleared) {
    QCOMPARE(run.messages.texts(), QStringList{run.state.Texts.at(67)});
    QCOMPARE(view.seen, 0);
    QCOMPARE(run.instrument().file, run.before.file);
    QCOMPARE(StoredEvents(db).size(), qsizetype(0));
  } else {
    // Filed into the very file at the path before the instrument was cleared.
    const QString differ = EventsDiffer(StoredEvents(db), once);
    QVERIFY2(differ.isEmpty(), qPrintable(differ));
    return;
  }

  MakeWritable(db);
  run.main().action("AReadHistory")->trigger();
  QCOMPARE(view.seen, 1);
  const QString differ = EventsDiffer(StoredEvents(db), once);
  QVERIFY2(differ.isEmpty(), qPrintable(differ));
  QCOMPARE(run.instrument().history.size(), qsizetype(0));
  QCOMPARE(run.messages.shown.size(), size_t(1));
}

QTEST_MAIN(TestDatabaseFaults)
#include "tst_faults_database.moc"
