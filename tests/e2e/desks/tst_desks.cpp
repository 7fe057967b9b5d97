// Desks at once on one PostgreSQL server, each a process of its own (the
// program cut down to its filing): every reading filed once, an instrument
// registered to one person, a person never deleted from under a reading, and
// nothing half done when the server stops or cuts a desk off.
#include <QProcess>
#include <QtTest>
#include <memory>
#include <vector>

#include "FilingProcess.h"
#include "HistoryRows.h"
#include "HistoryTestDb.h"
#include "MainWindowRun.h"
#include "SimulatorProcess.h"
#include "db/TDM.h"

namespace {

const QString FilingProgram = QStringLiteral(VX_FILING_PROGRAM);

qsizetype AllEvents() {
  return ExpectedEvents(FullHistory(), 0, 0).size();
}

// The test server's cluster, stopped and started as its administrator would.
class ServerCluster {
public:
  ServerCluster() {
    QProcess list;
    list.start("pg_lsclusters", {"-h"});
    list.waitForFinished(10000);
    const QString port = qEnvironmentVariable("PGPORT", "5432");
    for (const QString &line : QString::fromUtf8(list.readAllStandardOutput()).split(u'\n')) {
      const QStringList f = line.simplified().split(u' ');
      if (f.size() >= 3 && f[2] == port) {
        version_ = f[0];
        name_ = f[1];
      }
    }
  }
  bool known() const { return !name_.isEmpty(); }
  bool stopAtOnce() { return run({"stop", "-m", "immediate"}); }
  bool start() { return run({"start"}); }

private:
  bool run(QStringList args) {
    QProcess p;
    p.start("pg_ctlcluster", QStringList{version_, name_} + args);
    return p.waitForFinished(60000) && p.exitCode() == 0;
  }
  QString version_, name_;
};

// Holds what the desk filing `device` writes last (its filing memory) until
// the hold is let go, so that the desk waits with every event of the
// reading stored but not committed. True once the desk waits there.
bool HoldFilingOf(HistoryTestDb &db, FilingProcess &desk, int device) {
  if (!db.exec(QStringLiteral("INSERT INTO TableLastFiled VALUES (%1, 20, '\\x00')").arg(device)) ||
      !db.exec("BEGIN") ||
      !db.exec(QStringLiteral("SELECT * FROM TableLastFiled WHERE DeviceId = %1 FOR UPDATE")
                   .arg(device)))
    return false;
  if (!desk.waitFor("READY"))
    return false;
  desk.go();
  const QDeadlineTimer deadline(20000);
  while (!deadline.hasExpired()) {
    if (db.scalar("SELECT COUNT(*) FROM pg_stat_activity WHERE datname = current_database() "
                  "AND wait_event_type = 'Lock'")
            .toInt() == 1)
      return true;
    QTest::qWait(20);
  }
  return false;
}

// Everybody's connections to the database but the test's own are cut.
bool CutOffDesks(HistoryTestDb &db) {
  return db.exec("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                 "datname = current_database() AND pid <> pg_backend_pid()");
}

int AddPerson(HistoryTestDb &db, const QString &name, int device = -1) {
  db.exec(QStringLiteral("INSERT INTO TableUser (UserSecondName, UserFirstName, UserMiddleName, "
                         "DeviceId) VALUES ('%1', 'A', 'B', %2)")
              .arg(name)
              .arg(device));
  return db.scalar("SELECT MAX(UserId) FROM TableUser").toInt();
}

QString RawFile(QTemporaryDir &dir, const QByteArray &history) {
  const QString path = dir.filePath("history.raw");
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  f.write(history);
  return path;
}

// Starts the desks, lets them go at once, and waits for them all.
bool RunTogether(std::vector<std::unique_ptr<FilingProcess>> &desks) {
  for (auto &d : desks)
    if (!d->waitFor("READY"))
      return false;
  for (auto &d : desks)
    d->go();
  for (auto &d : desks)
    if (!d->waitFor("DONE", 120000))
      return false;
  return true;
}

} // namespace

class TstDesks : public QObject {
  Q_OBJECT

  std::unique_ptr<HistoryTestDb> db;

private slots:
  void init() {
    if (!TestingOnServer())
      QSKIP("desks share a PostgreSQL server (the _postgresql run)");
    db = std::make_unique<HistoryTestDb>();
    QVERIFY(db->ok());
  }
  void cleanup() { db.reset(); }

  // Eight desks file a full reading each at once, two of them the same
  // reading of the same instrument: every event is stored once.
  void eightDesksFileAtOnce() {
    QTemporaryDir dir;
    const QString raw = RawFile(dir, FullHistory());
    std::vector<std::unique_ptr<FilingProcess>> desks;
    for (int i = 0; i < 7; ++i) {
      AddPerson(*db, QStringLiteral("Holder%1").arg(i), 7000 + i);
      desks.push_back(std::make_unique<FilingProcess>(
          FilingProgram, QStringList{"file", db->path(), raw, QString::number(7000 + i)}));
    }
    desks.push_back(std::make_unique<FilingProcess>(
        FilingProgram, QStringList{"file", db->path(), raw, QString::number(7000)}));
    QVERIFY(RunTogether(desks));
    qint64 filed = 0;
    for (auto &d : desks) {
      QVERIFY2(d->done().value(0) == "1", d->errorOutput().constData());
      filed += d->done().value(2).toLongLong();
    }
    QCOMPARE(filed, 7 * AllEvents());
    for (int i = 0; i < 7; ++i)
      QCOMPARE(db->count("TableHistory", QStringLiteral("DeviceId = %1").arg(7000 + i)),
               int(AllEvents()));
    QCOMPARE(db->count("TableJournal", "Action = 1"), 8);
  }

  // Two desks, each a whole program reading its own instrument through the
  // exchange window, at the same moment: both readings are filed, each under
  // its holder, both instruments cleared, and either desk sees both.
  void twoDesksReadTheirInstrumentsAtOnce() {
    QTemporaryDir dir;
    constexpr int A = 4418501, B = 4418502;
    const int holderA = AddPerson(*db, "HolderA", A), holderB = AddPerson(*db, "HolderB", B);
    const QString stateA = dir.filePath("a.json"), stateB = dir.filePath("b.json");
    SimulatorProcess a({"--state", stateA, "--number", QString::number(A), "--events", "3000"});
    SimulatorProcess b(
        {"--state", stateB, "--number", QString::number(B), "--events", "3000", "--seed", "7"});
    SimulatorState beforeA, beforeB;
    QVERIFY(beforeA.load(stateA) && beforeB.load(stateB));
    std::vector<std::unique_ptr<FilingProcess>> desks;
    desks.push_back(std::make_unique<FilingProcess>(FilingProgram, QStringList{"read", db->path()},
                                                    a.endpoint()));
    desks.push_back(std::make_unique<FilingProcess>(FilingProgram, QStringList{"read", db->path()},
                                                    b.endpoint()));
    QVERIFY(RunTogether(desks));
    for (auto &d : desks)
      QVERIFY2(d->done().value(0) == "1", d->errorOutput().constData());
    QCOMPARE(db->count("TableHistory",
                       QStringLiteral("DeviceId = %1 AND UserId = %2").arg(A).arg(holderA)),
             int(ExpectedEvents(beforeA.history, A, holderA).size()));
    QCOMPARE(db->count("TableHistory",
                       QStringLiteral("DeviceId = %1 AND UserId = %2").arg(B).arg(holderB)),
             int(ExpectedEvents(beforeB.history, B, holderB).size()));
    SimulatorState afterA, afterB;
    QVERIFY(afterA.load(stateA) && afterB.load(stateB));
    QCOMPARE(afterA.history.size(), qsizetype(0));
    QCOMPARE(afterB.history.size(), qsizetype(0));
    AppState state;
    TDM desk(state.clock, db->path());
    QCOMPARE(desk.History().UserHistory(holderA, {}).value_or(QList<StoredEvent>{}).size(),
             ExpectedEvents(beforeA.history, A, holderA).size());
    QCOMPARE(desk.History().UserHistory(holderB, {}).value_or(QList<StoredEvent>{}).size(),
             ExpectedEvents(beforeB.history, B, holderB).size());
  }

  // Two desks register one instrument to two people at the same moment:
  // exactly one of them holds it.
  void twoDesksRegisterOneInstrument() {
    for (int round = 0; round < 5; ++round) {
      const int device = 8100 + round;
      const int a = AddPerson(*db, "A"), b = AddPerson(*db, "B");
      std::vector<std::unique_ptr<FilingProcess>> desks;
      for (int person : {a, b})
        desks.push_back(std::make_unique<FilingProcess>(
            FilingProgram,
            QStringList{"register", db->path(), QString::number(device), QString::number(person)}));
      QVERIFY(RunTogether(desks));
      int registered = 0;
      for (auto &d : desks) {
        QCOMPARE(d->done().value(0), QByteArray("1"));
        registered += d->done().value(2).toInt();
      }
      QCOMPARE(registered, 1);
      QCOMPARE(db->count("TableUser", QStringLiteral("DeviceId = %1").arg(device)), 1);
      QCOMPARE(
          db->count("TableHistory", QStringLiteral("DeviceId = %1 AND EventType = 5").arg(device)),
          1);
    }
  }

  // One desk hands back and deletes a person while another files a reading
  // of her instrument: the reading is filed under her before she goes (and
  // goes with her), or finds no holder; never an event of nobody.
  void aPersonIsNeverDeletedFromUnderAReading() {
    QTemporaryDir dir;
    const QString raw = RawFile(dir, SimulatedHistory(2000));
    for (int round = 0; round < 4; ++round) {
      const int device = 8200 + round;
      const int person = AddPerson(*db, "Leaving", device);
      std::vector<std::unique_ptr<FilingProcess>> desks;
      desks.push_back(std::make_unique<FilingProcess>(
          FilingProgram, QStringList{"file", db->path(), raw, QString::number(device)}));
      desks.push_back(std::make_unique<FilingProcess>(
          FilingProgram, QStringList{"delete", db->path(), QString::number(person)}));
      QVERIFY(RunTogether(desks));
      QVERIFY2(desks[1]->done().value(0) == "1", desks[1]->errorOutput().constData());
      QCOMPARE(db->count("TableUser", QStringLiteral("UserId = %1").arg(person)), 0);
      QCOMPARE(db->count("TableHistory", "UserId NOT IN (SELECT UserId FROM TableUser)"), 0);
    }
  }

  // A desk deleting a person waits for another desk that is registering an
  // instrument to her, and then refuses: she holds it now, and its receipt
  // is not left filed under nobody.
  void aDeletionWaitsForARegistrationToThePerson() {
    const int person = AddPerson(*db, "Arriving");
    QVERIFY(db->exec("BEGIN"));
    QVERIFY(db->exec(
        QStringLiteral("UPDATE TableUser SET DeviceId = 9000 WHERE UserId = %1").arg(person)));
    FilingProcess desk(FilingProgram, {"delete", db->path(), QString::number(person)});
    QVERIFY(desk.waitFor("READY"));
    desk.go();
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired() &&
           db->scalar("SELECT COUNT(*) FROM pg_stat_activity WHERE datname = current_database() "
                      "AND wait_event_type = 'Lock'")
                   .toInt() != 1)
      QTest::qWait(20);
    QVERIFY2(!deadline.hasExpired(), "the deleting desk did not come to wait");
    QVERIFY(db->exec(QStringLiteral("INSERT INTO TableHistory (DeviceId, UserId, DateTimeEvent, "
                                    "EventType) VALUES (9000, %1, 45000, 5)")
                         .arg(person)));
    QVERIFY(db->exec("COMMIT"));
    QVERIFY(desk.waitFor("DONE", 30000));
    QCOMPARE(desk.done().value(0), QByteArray("0"));
    QCOMPARE(db->count("TableUser", QStringLiteral("UserId = %1").arg(person)), 1);
    QCOMPARE(db->count("TableHistory", "UserId NOT IN (SELECT UserId FROM TableUser)"), 0);
  }

  // The server stops dead while a full reading is being filed: nothing of
  // it is stored; after the restart the reading is filed once.
  void serverStoppedWhileFilingKeepsNothingHalfDone() {
    ServerCluster cluster;
    if (!cluster.known())
      QSKIP("the test server's cluster is not known to pg_lsclusters");
    QTemporaryDir dir;
    const QString raw = RawFile(dir, FullHistory());
    AddPerson(*db, "Holder", 8300);
    FilingProcess desk(FilingProgram, {"file", db->path(), raw, "8300"});
    QVERIFY2(HoldFilingOf(*db, desk, 8300), "the desk did not come to wait for its filing memory");
    QVERIFY(cluster.stopAtOnce());
    QVERIFY(desk.waitFor("DONE", 60000));
    QCOMPARE(desk.done().value(0), QByteArray("0"));
    QVERIFY(cluster.start());
    db->reconnect();
    QCOMPARE(db->count("TableHistory", "DeviceId = 8300"), 0);
    QCOMPARE(db->count("TableJournal"), 0);
    FilingProcess again(FilingProgram, {"file", db->path(), raw, "8300"});
    QVERIFY(again.waitFor("READY"));
    again.go();
    QVERIFY(again.waitFor("DONE", 60000));
    QCOMPARE(again.done().value(0), QByteArray("1"));
    QCOMPARE(db->count("TableHistory", "DeviceId = 8300"), int(AllEvents()));
  }

  // A desk cut off in the middle of filing stores nothing of the reading;
  // a desk whose connection was cut between two operations connects again
  // by itself for the next one.
  void aDeskCutOffKeepsNothingHalfDoneAndConnectsAgain() {
    QTemporaryDir dir;
    const QString raw = RawFile(dir, FullHistory());
    AddPerson(*db, "Holder", 8400);
    FilingProcess desk(FilingProgram, {"file", db->path(), raw, "8400"});
    QVERIFY2(HoldFilingOf(*db, desk, 8400), "the desk did not come to wait for its filing memory");
    QVERIFY(CutOffDesks(*db));
    QVERIFY(desk.waitFor("DONE", 60000));
    QCOMPARE(desk.done().value(0), QByteArray("0"));
    QVERIFY(db->exec("ROLLBACK"));
    QCOMPARE(db->count("TableHistory", "DeviceId = 8400"), 0);
    QCOMPARE(db->count("TableJournal"), 0);

    AppState state;
    TDM dm(state.clock, db->path());
    QVERIFY(dm.Register().People());
    QVERIFY(CutOffDesks(*db));
    const QByteArray reading = SimulatedHistory(50);
    const FilingResult r = dm.FileReading(8400, {Bytes(reading), std::size_t(reading.size())});
    QVERIFY2(r.outcome == FilingResult::Outcome::Filed, qPrintable(r.error));
    QVERIFY(CutOffDesks(*db));
    QVERIFY(dm.Register().People());
  }

  // A transaction whose connection breaks between two statements is not
  // carried over to a new connection: nothing of it is stored.
  void aTransactionIsNeverCarriedOverToANewConnection() {
    DbConnection c;
    c.SetLocation(db->path());
    bool cut = false;
    const bool ok = c.InTransaction([&] {
      QSqlQuery q;
      if (!c.Exec(q, "INSERT INTO TableUser (UserSecondName) VALUES ('One')"))
        return false;
      cut = CutOffDesks(*db);
      c.Exec(q, "SELECT 1"); // finds the connection gone
      return c.Exec(q, "INSERT INTO TableUser (UserSecondName) VALUES ('Two')");
    });
    QVERIFY(cut);
    QVERIFY(!ok);
    QCOMPARE(db->count("TableUser", "UserSecondName IN ('One', 'Two')"), 0);
    QSqlQuery q;
    QVERIFY(c.Exec(q, "SELECT COUNT(*) FROM TableUser")); // and the next one connects again
  }

  // A server that refuses the login is told at start with its reason; the
  // program does not fall back to its own file meanwhile.
  void aRefusedLoginIsToldAtStart() {
    Run run;
    const QString uri = "postgresql://nobody_here@/" + db->path().section(u'/', -1);
    writeFile(run.folder.file("VX4418.ini"),
              "[Program setting]\nRunSet=0\n[Data Base]\nADOFile=" + uri.toUtf8() + "\n");
    exec(run.db(), {insertUser("'Local'", "'File'", "''")});
    run.start();
    QCOMPARE(run.messages.shown.size(), size_t(1));
    const QString text = run.messages.shown[0].text;
    QVERIFY2(text.startsWith(run.state.Texts.at(67) + "\n" + uri + "\n"), qPrintable(text));
    QVERIFY2(text.contains("nobody_here"), qPrintable(text));
    QCOMPARE(run.state.Paths.ADOFile, uri);
    QVERIFY(run.users().Cell(0, 1).isEmpty()); // not the local file's people
  }
};

QTEST_MAIN(TstDesks)
#include "tst_desks.moc"
