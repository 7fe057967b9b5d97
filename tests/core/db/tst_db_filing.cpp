// The data module's layout steps and filing a reading once, on private copies
// of the supplied database.
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>
#include <memory>
#include <span>

#include "HistoryTestDb.h"
#include "db/TDM.h"
#include "state/AppState.h"

namespace {

// A reading of `count` events, one minute apart.
QByteArray Reading(int count, int firstMinute = 0) {
  QByteArray raw;
  for (int i = 0; i < count; ++i) {
    RawRecord r;
    r.day = 2;
    r.month = 3;
    r.hour = (firstMinute + i) / 60;
    r.minute = (firstMinute + i) % 60;
    r.kind = 16; // gamma alarm
    r.rate = 1e-6f * float(i + 1);
    r.dose = 1e-5f * float(i + 1);
    raw += r.bytes();
  }
  return raw;
}

std::span<const std::uint8_t> Span(const QByteArray &b) {
  return {Bytes(b), std::size_t(b.size())};
}

// A desk: the data module on the test's database file.
struct Desk {
  AppState state;
  std::unique_ptr<TDM> dm;
  explicit Desk(const HistoryTestDb &db) { dm = std::make_unique<TDM>(state.clock, db.path()); }
};

} // namespace

class TstDbFiling : public QObject {
  Q_OBJECT

  std::unique_ptr<HistoryTestDb> db;
  int holder = 0;

  int events(int deviceId = 4711) {
    return db->count("TableHistory", QStringLiteral("DeviceId = %1").arg(deviceId));
  }

  // A file of the two original tables only.
  void OldestLayout() {
    db = std::make_unique<HistoryTestDb>();
    QVERIFY(db->makeOldestLayout());
  }

private slots:
  void init() {
    db = std::make_unique<HistoryTestDb>();
    QVERIFY(db->ok());
    QVERIFY(db->exec("INSERT INTO TableUser (UserSecondName, UserFirstName, UserMiddleName, "
                     "DeviceId) VALUES ('Holder', 'Anna', NULL, 4711), ('Other', 'Olga', '', -1)"));
    holder = db->scalar("SELECT UserId FROM TableUser WHERE DeviceId = 4711").toInt();
  }

  void suppliedDatabaseIsCurrent() {
    Desk desk(*db);
    QVERIFY(desk.dm->Register().People());
    QCOMPARE(desk.dm->Schema().outcome, SchemaState::Outcome::UpToDate);
    QCOMPARE(desk.dm->Schema().Version, CurrentSchemaVersion);
    QCOMPARE(db->version(), CurrentSchemaVersion);
  }

  void oldestLayoutIsBroughtUpToDateKeepingItsRows() {
    OldestLayout();
    HistoryTestDb &fresh = *db;
    QVERIFY(fresh.exec("INSERT INTO TableUser (UserSecondName, UserFirstName, DeviceId) "
                       "VALUES ('Old', 'Row', 12)"));
    QVERIFY(fresh.exec("INSERT INTO TableHistory VALUES (12, 1, 45000.5, 1, 0.5, 0.25)"));
    QCOMPARE(fresh.version(), 0);

    Desk desk(fresh);
    QVERIFY(desk.dm->Register().People());
    QCOMPARE(desk.dm->Schema().outcome, SchemaState::Outcome::UpToDate);
    QCOMPARE(fresh.version(), CurrentSchemaVersion);
    QVERIFY(fresh.hasTable("TableLastFiled"));
    QCOMPARE(fresh.rows("SELECT * FROM TableHistory"),
             (QList<QVariantList>{{12LL, 1LL, 45000.5, 1LL, 0.5, 0.25}}));
    QCOMPARE(fresh.scalar("SELECT UserSecondName FROM TableUser WHERE DeviceId = 12").toString(),
             QString("Old"));

    // Filing works with its memory on the brought-up file.
    const QByteArray reading = Reading(3);
    QCOMPARE(desk.dm->FileReading(12, Span(reading)).EventsFiled, 3);
    QCOMPARE(desk.dm->FileReading(12, Span(reading)).EventsFiled, 0);
  }

  // A database of every earlier layout is brought up to date when it is
  // opened, its rows kept, and files a reading once.
  void everyEarlierLayoutIsBroughtUpToDate_data() {
    QTest::addColumn<int>("version");
    for (int v = 0; v < CurrentSchemaVersion; ++v)
      QTest::addRow("version %d", v) << v;
  }
  void everyEarlierLayoutIsBroughtUpToDate() {
    QFETCH(int, version);
    QVERIFY(db->makeLayout(version));
    QVERIFY(db->exec("INSERT INTO TableUser (UserSecondName, UserFirstName, DeviceId) "
                     "VALUES ('Old', 'Row', 12)"));
    Desk desk(*db);
    QVERIFY(desk.dm->Register().People());
    QCOMPARE(desk.dm->Schema().outcome, SchemaState::Outcome::UpToDate);
    QCOMPARE(db->version(), CurrentSchemaVersion);
    QVERIFY(db->hasTable("TableLastFiled"));
    QVERIFY(db->hasTable("TableDeletedHistory"));
    const QByteArray reading = Reading(2);
    QCOMPARE(desk.dm->FileReading(12, Span(reading)).EventsFiled, 2);
    QCOMPARE(desk.dm->FileReading(12, Span(reading)).EventsFiled, 0);
    // Only one holder of an instrument from now on.
    QVERIFY(!db->exec("INSERT INTO TableUser (UserSecondName, DeviceId) VALUES ('Two', 12)"));
  }

  // Two people holding one instrument stand in the way of the one-holder
  // step: the steps before it are taken, the program says why it is behind
  // and works on.
  void twoHoldersOfOneInstrumentKeepTheRegisterAsItIs() {
    QVERIFY(db->makeLayout(0));
    QVERIFY(db->exec("INSERT INTO TableUser (UserSecondName, UserFirstName, DeviceId) "
                     "VALUES ('One', 'A', 4711), ('Two', 'B', 4711)"));
    Desk desk(*db);
    QVERIFY(desk.dm->Register().People());
    QCOMPARE(desk.dm->Schema().outcome, SchemaState::Outcome::Behind);
    QCOMPARE(desk.dm->Schema().Version, 1);
    QVERIFY2(desk.dm->Schema().error.contains("4711"), qPrintable(desk.dm->Schema().error));
    QCOMPARE(db->version(), 1);
    const QByteArray reading = Reading(2);
    QCOMPARE(desk.dm->FileReading(4711, Span(reading)).EventsFiled, 2);
    QCOMPARE(desk.dm->FileReading(4711, Span(reading)).EventsFiled, 0);

    // Once the register is mended, the next opening takes the step.
    QVERIFY(db->exec("UPDATE TableUser SET DeviceId = -1 WHERE UserSecondName = 'Two'"));
    Desk later(*db);
    QVERIFY(later.dm->Register().People());
    QCOMPARE(later.dm->Schema().outcome, SchemaState::Outcome::UpToDate);
    QCOMPARE(db->version(), CurrentSchemaVersion);
  }

  // A server that wants a password nothing supplies asks for it once; the
  // answer serves for every later connection of the run, a wrong or missing
  // one is not asked for again.
  void aServerAsksForAPasswordOnce() {
    const QByteArray saved = qgetenv("PGPASSWORD");
    if (!db->onServer() || saved.isEmpty())
      QSKIP("needs a test server that asks for a password");
    qunsetenv("PGPASSWORD");
    const auto restore = qScopeGuard([&] { qputenv("PGPASSWORD", saved); });
    for (const QString &answer : {QString::fromLatin1(saved), QString("wrong"), QString()}) {
      int asked = 0;
      QString where;
      DbConnection c;
      c.SetLocation(db->path());
      c.SetPasswordSource([&](const QString &shown) -> std::optional<QString> {
        ++asked;
        where = shown;
        return answer.isNull() ? std::nullopt : std::optional<QString>(answer);
      });
      QSqlQuery q;
      const bool right = answer == QString::fromLatin1(saved);
      QCOMPARE(c.Exec(q, "SELECT COUNT(*) FROM TableUser"), right);
      QCOMPARE(where, db->path());
      c.SetLocation(QString());
      QVERIFY(!c.Exec(q, "SELECT 1"));
      c.SetLocation(db->path()); // a new connection
      QCOMPARE(c.Exec(q, "SELECT COUNT(*) FROM TableUser"), right);
      QCOMPARE(asked, 1);
      if (!right)
        QVERIFY2(c.LastError().contains("password"), qPrintable(c.LastError()));
    }
  }

  void newerDatabaseIsRefusedAndLeftAlone() {
    QVERIFY(db->setVersion(99));
    Desk desk(*db);
    QVERIFY(!desk.dm->Register().People());
    QCOMPARE(desk.dm->Schema().outcome, SchemaState::Outcome::TooNew);
    QVERIFY2(desk.dm->LastError().contains("99"), qPrintable(desk.dm->LastError()));
    const QByteArray reading = Reading(2);
    QCOMPARE(desk.dm->FileReading(4711, Span(reading)).outcome, FilingResult::Outcome::Failed);
    QCOMPARE(events(), 0);
    QCOMPARE(db->version(), 99);
  }

  void stepThatCannotRunLeavesFileAsItWasAndProgramWorking() {
    OldestLayout();
    QVERIFY(db->exec("INSERT INTO TableUser (UserSecondName, UserFirstName, DeviceId) "
                     "VALUES ('Read', 'Only', 4711)"));
    // A second connection holds the lock of the layout steps longer than the
    // program waits: the write lock of the file, the steps' lock on a server.
    QSqlDatabase other =
        QSqlDatabase::addDatabase(db->onServer() ? "QPSQL" : "QSQLITE", "lock-holder");
    other.setDatabaseName(db->onServer() ? db->path().section(u'/', -1) : db->path());
    QVERIFY(other.open());
    QSqlQuery lock(other);
    if (db->onServer())
      QVERIFY(lock.exec("BEGIN") && lock.exec("SELECT pg_advisory_xact_lock(4418)"));
    else
      QVERIFY(lock.exec("BEGIN IMMEDIATE"));
    {
      Desk desk(*db);
      QVERIFY(desk.dm->Register().People()); // reading still works
      QCOMPARE(desk.dm->Schema().outcome, SchemaState::Outcome::Behind);
      QCOMPARE(desk.dm->Schema().Version, 0);
      QVERIFY(!desk.dm->Schema().error.isEmpty());
    }
    QVERIFY(lock.exec("ROLLBACK"));
    lock = QSqlQuery();
    other.close();
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase("lock-holder");
    QCOMPARE(db->version(), 0);
    QVERIFY(!db->hasTable("TableLastFiled"));
  }

  void readingIsFiledOnceHoweverOftenItIsRead() {
    Desk desk(*db);
    const QByteArray first = Reading(5);
    FilingResult r = desk.dm->FileReading(4711, Span(first));
    QCOMPARE(r.outcome, FilingResult::Outcome::Filed);
    QCOMPARE(r.holder.UserId, holder);
    QCOMPARE(r.holder.SecondName, QString("Holder"));
    QCOMPARE(r.EventsFiled, 5);

    // Read again (the clear command failed, or removal is off): nothing new.
    r = desk.dm->FileReading(4711, Span(first));
    QCOMPARE(r.outcome, FilingResult::Outcome::Filed);
    QCOMPARE(r.EventsFiled, 0);
    QCOMPARE(events(), 5);

    // Events recorded since: only they are filed.
    const QByteArray longer = first + Reading(2, 30);
    QCOMPARE(desk.dm->FileReading(4711, Span(longer)).EventsFiled, 2);
    QCOMPARE(events(), 7);
  }

  void clearedInstrumentStartsNewSequence() {
    Desk desk(*db);
    const QByteArray reading = Reading(4);
    QCOMPARE(desk.dm->FileReading(4711, Span(reading)).EventsFiled, 4);
    QVERIFY(desk.dm->ForgetFiledReading(4711));
    QCOMPARE(desk.dm->FileReading(4711, Span(reading)).EventsFiled, 4);

    // A reading that does not begin with what was filed is a new sequence
    // (cleared elsewhere): all of it is filed.
    const QByteArray other = Reading(3, 100);
    QCOMPARE(desk.dm->FileReading(4711, Span(other)).EventsFiled, 3);
    QCOMPARE(events(), 11);
  }

  void trailingPieceOfRecordIsFiledWhenItBecomesWhole() {
    Desk desk(*db);
    const QByteArray whole = Reading(3);
    const QByteArray cut = whole.left(50); // two records and a piece
    QCOMPARE(desk.dm->FileReading(4711, Span(cut)).EventsFiled, 2);
    QCOMPARE(desk.dm->FileReading(4711, Span(whole)).EventsFiled, 1);
    QCOMPARE(events(), 3);
  }

  void holderIsTheOneTheRegisterNamesAtFilingTime() {
    Desk desk(*db);
    QVERIFY(desk.dm->Register().People()); // the list read before the change
    // Another desk hands the instrument to someone else meanwhile.
    QVERIFY(db->exec("UPDATE TableUser SET DeviceId = -1 WHERE DeviceId = 4711"));
    QVERIFY(db->exec("UPDATE TableUser SET DeviceId = 4711 WHERE UserSecondName = 'Other'"));
    const int other = db->scalar("SELECT UserId FROM TableUser WHERE DeviceId = 4711").toInt();
    const QByteArray reading = Reading(2);
    const FilingResult r = desk.dm->FileReading(4711, Span(reading));
    QCOMPARE(r.holder.UserId, other);
    QCOMPARE(db->count("TableHistory", QStringLiteral("UserId = %1").arg(other)), 2);
    QCOMPARE(db->count("TableHistory", QStringLiteral("UserId = %1").arg(holder)), 0);

    // Nobody holds it any more: nothing filed, nothing remembered.
    QVERIFY(db->exec("DELETE FROM TableUser WHERE DeviceId = 4711"));
    const QByteArray more = reading + Reading(1, 50);
    const FilingResult none = desk.dm->FileReading(4711, Span(more));
    QCOMPARE(none.outcome, FilingResult::Outcome::NoHolder);
    QCOMPARE(none.EventsFiled, 0);
    QCOMPARE(events(), 2);
  }

  void duplicateCheckTakesNullMiddleNameForEmpty() {
    Desk desk(*db);
    // 'Holder Anna' has a NULL middle name, 'Other Olga' an empty one.
    QCOMPARE(desk.dm->Register().FindDuplicatePerson("Holder", "Anna", "", -1),
             std::optional<bool>(true));
    QCOMPARE(desk.dm->Register().FindDuplicatePerson("Holder", "Anna", QString(), -1),
             std::optional<bool>(true));
    QCOMPARE(desk.dm->Register().FindDuplicatePerson("Other", "Olga", QString(), -1),
             std::optional<bool>(true));
    QCOMPARE(desk.dm->Register().FindDuplicatePerson("Holder", "Anna", "B", -1),
             std::optional<bool>(false));
    // The person's own row lets her keep her names.
    QCOMPARE(desk.dm->Register().FindDuplicatePerson("Holder", "Anna", "", holder),
             std::optional<bool>(false));
    // A renamed person who is gone is reported, not silently passed over.
    QVERIFY(desk.dm->Register().UpdatePerson(holder, "New", "Name", ""));
    QVERIFY(!desk.dm->Register().UpdatePerson(987654, "New", "Name", ""));
  }

  void twoDesksReadingOneInstrumentFileItOnce() {
    Desk a(*db), b(*db);
    const QByteArray reading = Reading(40);
    QCOMPARE(a.dm->FileReading(4711, Span(reading)).EventsFiled, 40);
    QCOMPARE(b.dm->FileReading(4711, Span(reading)).EventsFiled, 0);
    QCOMPARE(events(), 40);
  }
};

QTEST_GUILESS_MAIN(TstDbFiling)
#include "tst_db_filing.moc"
