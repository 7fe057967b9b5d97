// The data module against a private copy of the supplied database.
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QtTest>
#include <cmath>
#include <limits>
#include <memory>
#include <thread>

#include "HistoryTestDb.h"
#include "TestDatabase.h"
#include "db/TDM.h"
#include "history/DayCount.h"
#include "history/HistoryRecord.h"
#include "state/AppState.h"

namespace {
int EventCount(HistoryTestDb &db, int type) {
  return db.count("TableHistory", "EventType = " + QString::number(type));
}
} // namespace

class TstHistoryDb : public QObject {
  Q_OBJECT

  std::unique_ptr<HistoryTestDb> db;
  std::unique_ptr<AppState> state;
  std::shared_ptr<SettableClock> clock;
  std::unique_ptr<TDM> dm;

  // Adds a user directly; returns the key.
  int addUser(const QString &second, int deviceId = -1, const QString &middle = "M") {
    db->exec(QString("INSERT INTO TableUser (UserSecondName, UserFirstName, UserMiddleName, "
                     "DeviceId) VALUES (%1, 'F', %2, %3)")
                 .arg(SqlText(second), middle.isNull() ? "NULL" : SqlText(middle))
                 .arg(deviceId));
    return db->scalar("SELECT MAX(UserId) FROM TableUser").toInt();
  }
  void addEvent(int deviceId, int userId, double time, int type, double value = 0) {
    db->exec(QString("INSERT INTO TableHistory VALUES (%1, %2, %3, %4, %5, 0.5)")
                 .arg(deviceId)
                 .arg(userId)
                 .arg(time, 0, 'g', 17)
                 .arg(type)
                 .arg(value));
  }

private slots:
  void init() {
    db = std::make_unique<HistoryTestDb>();
    QVERIFY(db->ok());
    state = std::make_unique<AppState>();
    clock = std::make_shared<SettableClock>(QDateTime(QDate(2025, 3, 14), QTime(15, 9, 26, 535)));
    state->clock = clock;
    dm = std::make_unique<TDM>(clock, db->path());
  }
  void cleanup() {
    dm.reset();
    state.reset();
    db.reset();
  }

  // The columns of a table in their order, as the database names them.
  QList<QVariantList> columnsOf(const QString &table) {
    if (db->onServer())
      return db->rows("SELECT column_name FROM information_schema.columns WHERE table_name = '" +
                      table.toLower() + "' ORDER BY ordinal_position");
    return db->rows("SELECT lower(name) FROM pragma_table_info('" + table + "')");
  }

  void suppliedDatabaseIsWalWithTheTwoTables() {
    if (!db->onServer())
      QCOMPARE(db->scalar("PRAGMA journal_mode").toString(), QString("wal"));
    QCOMPARE(dm->Register().People().value_or(QList<Person>{{}}), QList<Person>{});
    QCOMPARE(
        columnsOf("TableUser"),
        (QList<QVariantList>{
            {"userid"}, {"usersecondname"}, {"userfirstname"}, {"usermiddlename"}, {"deviceid"}}));
    QCOMPARE(columnsOf("TableHistory"), (QList<QVariantList>{{"deviceid"},
                                                             {"userid"},
                                                             {"datetimeevent"},
                                                             {"eventtype"},
                                                             {"eventvalue"},
                                                             {"devalue"}}));
  }

  void noValueIsSplicedIntoAStatement() {
    if (db->onServer())
      QSKIP("the statements are traced through SQLite");
    QVERIFY(dm->History().PurgeUntypedEvents()); // opens the connection
    const QStringList names = QSqlDatabase::connectionNames();
    QCOMPARE(names.size(), 1);
    const QVariant handle = QSqlDatabase::database(names.first()).driver()->handle();
    sqlite3 *raw = *static_cast<sqlite3 *const *>(handle.data());
    QStringList sent;
    sqlite3_trace_v2(
        raw, SQLITE_TRACE_STMT,
        [](unsigned, void *ctx, void *, void *x) {
          const QString text = QString::fromUtf8(static_cast<const char *>(x));
          if (!text.startsWith("--"))
            static_cast<QStringList *>(ctx)->append(text);
          return 0;
        },
        &sent);
    const int u = addUser("A", 4242);
    REG_STATE reg;
    reg.DeviceId = 4242;
    reg.UserId = u;
    state->Filter.DeviceId = 4242;
    QVERIFY(dm->History().PurgeUntypedEvents());
    QVERIFY(dm->Register().People());
    QVERIFY(dm->History().UserHistory(u, state->Filter));
    QVERIFY(dm->History().HistoryDeviceNumbers());
    QVERIFY(dm->History().StoredDeviceNumbers());
    QCOMPARE(dm->CountDeviceHolders(4242), 1);
    QCOMPARE(dm->Register().RegisterDevice(reg), Registration::AlreadyHeld);
    QVERIFY(dm->Register().CancelRegistration(4242, u));
    QVERIFY(dm->Register().InsertUser("O'B", "F", "M", -1));
    QVERIFY(dm->Register().InsertUser("X", "F", "M", 5));
    const QByteArray rec = RawRecord{}.bytes();
    QVERIFY(dm->History().StoreInstrumentHistory(Bytes(rec), rec.size(), 4242, u));
    QVERIFY(dm->Register().FindDuplicatePerson("O'B", "F", "M", -1).value_or(false));
    QVERIFY(dm->Register().UpdatePerson(u, "A", "F", "M"));
    QVERIFY(dm->History().DeleteHistory(u, std::pair(1.0, 99999.0), 4242));
    QCOMPARE(dm->Register().RegisterDevice(reg), Registration::Registered);
    QCOMPARE(dm->FileReading(4242, {Bytes(rec), std::size_t(rec.size())}).outcome,
             FilingResult::Outcome::Filed);
    QVERIFY(dm->ForgetFiledReading(4242));
    QVERIFY(!dm->Register().DeleteUserWithHistory(u)); // she holds 4242
    QVERIFY(dm->Register().CancelRegistration(4242, u));
    QVERIFY(dm->Register().DeleteUserWithHistory(u));
    sqlite3_trace_v2(raw, 0, nullptr, nullptr);
    // Every value reaches the database bound to a parameter: no statement
    // text holds a number, a name or a time of the operations above.
    QVERIFY(sent.size() >= 15);
    for (const QString &text : sent) {
      QVERIFY2(!text.contains(QString::number(u)) || QString::number(u).size() < 3,
               qPrintable(text));
      for (const char *value : {"4242", "O'B", "O''B", "'X'", "'F'", "'M'"})
        QVERIFY2(!text.contains(QLatin1String(value)), qPrintable(text));
    }
  }

  void usersAreAddedAndFound() {
    QVERIFY(dm->Register().InsertUser("Ivanov", "Ivan", "Ivanovich", -1));
    QVERIFY(
        dm->Register().InsertUser("Petrov", "Petr", "", 4711)); // number left to the column default
    QCOMPARE(db->rows("SELECT UserSecondName, UserMiddleName, DeviceId FROM TableUser"),
             (QList<QVariantList>{{"Ivanov", "Ivanovich", -1}, {"Petrov", "", -1}}));
    // A register from before instruments had one holder at most.
    QVERIFY(db->exec("DROP INDEX UX_TableUser_Holder"));
    const int holder = addUser("Holder", 300, QString());
    addUser("Second holder", 300);

    QString s = "keep", f = "keep", m = "keep";
    QCOMPARE(dm->Register().FindDeviceUser(300, &s, &f, &m), holder);
    QCOMPARE(s, QString("Holder"));
    QCOMPARE(f, QString("F"));
    QCOMPARE(m, QString()); // NULL reads as empty

    s = "keep";
    QCOMPARE(dm->Register().FindDeviceUser(301, &s), -1);
    QCOMPARE(s, QString("keep"));

    QCOMPARE(dm->CountDeviceHolders(300), 2);
    QCOMPARE(dm->CountDeviceHolders(301), 0);
  }

  void namesAreStoredByteForByte_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("apostrophe") << "O'Brien";
    QTest::newRow("quotes only") << "''''";
    QTest::newRow("double quotes") << "\"Ivan\" \"\"";
    QTest::newRow("backslashes") << "C:\\path\\ \\' \\\\";
    QTest::newRow("semicolons") << "a; DROP TABLE TableUser; --";
    QTest::newRow("injection") << "x', 'y', 'z'); DELETE FROM TableUser; --";
    QTest::newRow("placeholder") << ":DTH :PDeviceId ?";
    QTest::newRow("cyrillic") << QString::fromUtf8("Щербакова-Ёлкина");
    QTest::newRow("300 characters") << QString::fromUtf8("Жa'\"\\;").repeated(50);
    QTest::newRow("blanks kept") << "  two  ";
  }
  void namesAreStoredByteForByte() {
    QFETCH(QString, name);
    QVERIFY(dm->Register().InsertUser(name, name + "1", name + "2", -1));
    QCOMPARE(db->rows("SELECT UserSecondName, UserFirstName, UserMiddleName FROM TableUser"),
             (QList<QVariantList>{{name, name + "1", name + "2"}}));
    // The duplicate check and the register read find them as typed.
    QCOMPARE(dm->Register().FindDuplicatePerson(name, name + "1", name + "2", -1), true);
    const QList<Person> people = dm->Register().People().value_or(QList<Person>{});
    QCOMPARE(people.size(), 1);
    QCOMPARE(people[0].SecondName, name);
    QCOMPARE(people[0].MiddleName, name + "2");
  }

  void deletingAUserTakesTheirHistory() {
    const int a = addUser("A"), b = addUser("B"), lonely = addUser("C");
    addEvent(1, a, 45000, 1);
    addEvent(1, a, 45001, 4);
    addEvent(2, b, 45000, 1);
    QVERIFY(dm->Register().DeleteUserWithHistory(a));
    QCOMPARE(db->count("TableHistory", "UserId = " + QString::number(a)), 0);
    QCOMPARE(db->count("TableHistory"), 1);
    QVERIFY(dm->Register().DeleteUserWithHistory(lonely));
    QCOMPARE(db->count("TableUser"), 1);

    // A failing second statement leaves the history in place.
    QVERIFY(db->refuse("keep", "BEFORE DELETE ON TableUser", "kept"));
    QVERIFY(!dm->Register().DeleteUserWithHistory(b));
    QCOMPARE(db->count("TableHistory"), 1);
    QCOMPARE(db->count("TableUser"), 1);
  }

  // Deleted events are kept with the time and desk of the deletion, and
  // restoring brings back exactly those events, values and NULLs alike.
  void deletedHistoryIsKeptAndRestored() {
    const int a = addUser("A"), b = addUser("B");
    addEvent(1, a, 45000.25, 1, 0.002);
    addEvent(2, a, 45001.5, 7, 0.003);
    addEvent(2, a, 45002, 4);
    QVERIFY(
        db->exec(QString("INSERT INTO TableHistory VALUES (2, %1, 45003, 5, NULL, NULL)").arg(a)));
    addEvent(2, b, 45001.5, 7, 0.003);
    const QString before = "SELECT DeviceId, UserId, DateTimeEvent, EventType, EventValue, "
                           "DEValue FROM TableHistory ORDER BY DateTimeEvent, UserId";
    const QList<QVariantList> original = db->rows(before);
    dm->JournalLog().SetDesk("desk-7", "op");

    QCOMPARE(dm->History().CountHistory(a, std::nullopt, 2), std::optional<qint64>(3));
    QVERIFY(dm->History().DeleteHistory(a, std::nullopt, 2));
    QCOMPARE(db->count("TableHistory", "UserId = " + QString::number(a)), 1);
    QCOMPARE(db->count("TableHistory", "UserId = " + QString::number(b)), 1);
    QCOMPARE(db->count("TableDeletedHistory"), 3);
    QCOMPARE(db->count("TableDeletedHistory", "Desk = 'desk-7'"), 3);
    QCOMPARE(db->scalar("SELECT MIN(DeletedTime) FROM TableDeletedHistory").toDouble(),
             DateTimeToDayCount(clock->now()));
    QCOMPARE(db->count("TableDeletedHistory", "EventValue IS NULL AND DEValue IS NULL"), 1);
    QCOMPARE(dm->History().CountDeletedHistory(a), std::optional<qint64>(3));
    QCOMPARE(dm->History().CountDeletedHistory(b), std::optional<qint64>(0));

    // A second deletion adds to what is kept; restoring brings back both.
    QVERIFY(dm->History().DeleteHistory(a, std::nullopt, std::nullopt));
    QCOMPARE(db->count("TableDeletedHistory"), 4);
    QCOMPARE(dm->History().RestoreDeletedHistory(a), 4);
    QCOMPARE(db->count("TableDeletedHistory"), 0);
    QCOMPARE(db->rows(before), original);
    QCOMPARE(dm->History().RestoreDeletedHistory(a), 0);
  }

  void deletingAPersonKeepsTheirEvents() {
    const int a = addUser("A");
    addEvent(1, a, 45000, 1, 0.002);
    addEvent(1, a, 45001, 4);
    QVERIFY(dm->Register().DeleteUserWithHistory(a));
    QCOMPARE(db->count("TableHistory"), 0);
    QCOMPARE(db->count("TableDeletedHistory", "UserId = " + QString::number(a)), 2);
  }

  // Nothing is deleted where it could not be kept; a failure to keep the
  // events leaves them in the history.
  void historyIsDeletedOnlyWhereItIsKept() {
    const int a = addUser("A");
    addEvent(1, a, 45000, 1, 0.002);
    QVERIFY(db->refuse("nokeep", "BEFORE INSERT ON TableDeletedHistory", "full"));
    QVERIFY(!dm->History().DeleteHistory(a, std::nullopt, std::nullopt));
    QVERIFY(!dm->Register().DeleteUserWithHistory(a));
    QCOMPARE(db->count("TableHistory"), 1);
    QCOMPARE(db->count("TableUser"), 1);
    QVERIFY(db->allow("nokeep"));

    // A database that cannot take the step (two holders of one instrument)
    // keeps its history whole.
    dm.reset();
    QVERIFY(db->exec("DROP TABLE TableDeletedHistory"));
    QVERIFY(db->setVersion(1));
    QVERIFY(db->exec("DROP INDEX UX_TableUser_Holder"));
    addUser("H1", 33);
    addUser("H2", 33);
    dm = std::make_unique<TDM>(clock, db->path());
    QVERIFY(!dm->History().DeleteHistory(a, std::nullopt, std::nullopt));
    QCOMPARE(dm->Schema().Version, 1);
    QCOMPARE(db->count("TableHistory"), 1);
    QCOMPARE(dm->History().RestoreDeletedHistory(a), -1);
  }

  void registrationAndHandBack() {
    // A register from before instruments had one holder at most.
    QVERIFY(db->exec("DROP INDEX UX_TableUser_Holder"));
    const int a = addUser("A"), b = addUser("B", 77), c = addUser("C", 77);
    REG_STATE reg;
    reg.DeviceId = 55;
    reg.UserId = a;
    QCOMPARE(dm->Register().RegisterDevice(reg), Registration::Registered);
    QCOMPARE(db->scalar("SELECT DeviceId FROM TableUser WHERE UserId = " + QString::number(a)),
             QVariant(55));
    const auto received = db->rows("SELECT DeviceId, UserId, DateTimeEvent, EventValue, DEValue "
                                   "FROM TableHistory WHERE EventType = 5");
    QCOMPARE(received.size(), 1);
    QCOMPARE(received[0][0], QVariant(55));
    QCOMPARE(received[0][1], QVariant(a));
    QCOMPARE(DayCountToDateTime(received[0][2].toDouble()), clock->now());
    QVERIFY(received[0][3].isNull() && received[0][4].isNull());

    // Two rows hold 77: both are freed, one event for the given user.
    QVERIFY(dm->Register().CancelRegistration(77, b));
    QCOMPARE(db->count("TableUser", "DeviceId = 77"), 0);
    QCOMPARE(db->rows("SELECT DeviceId, UserId FROM TableHistory WHERE EventType = 6"),
             (QList<QVariantList>{{77, b}}));
    Q_UNUSED(c);
  }

  // Whichever desk asks, and however the register is written to, an
  // instrument has one holder at most.
  void anInstrumentHasOneHolder() {
    const int a = addUser("A", 55), b = addUser("B"), gone = addUser("C");
    REG_STATE reg;
    reg.DeviceId = 55;
    reg.UserId = b;
    QCOMPARE(dm->Register().RegisterDevice(reg), Registration::AlreadyHeld);
    QCOMPARE(db->count("TableUser", "DeviceId = 55"), 1);
    QCOMPARE(db->count("TableHistory"), 0);
    QVERIFY(!db->exec("UPDATE TableUser SET DeviceId = 55 WHERE UserId = " + QString::number(b)));
    QVERIFY(db->exec("UPDATE TableUser SET DeviceId = -1 WHERE UserId = " + QString::number(b)));

    QVERIFY(db->exec("DELETE FROM TableUser WHERE UserId = " + QString::number(gone)));
    reg.DeviceId = 56;
    reg.UserId = gone;
    QCOMPARE(dm->Register().RegisterDevice(reg), Registration::PersonGone);
    QCOMPARE(db->count("TableHistory"), 0);
    Q_UNUSED(a);
  }

  void registrationIsAllOrNothing() {
    const int a = addUser("A", 9);
    QVERIFY(db->refuse("no_events", "BEFORE INSERT ON TableHistory", "no"));
    REG_STATE reg;
    reg.DeviceId = 55;
    reg.UserId = a;
    QCOMPARE(dm->Register().RegisterDevice(reg), Registration::Failed);
    QCOMPARE(db->count("TableUser", "DeviceId = 9"), 1);
    QVERIFY(db->allow("no_events"));

    QVERIFY(db->refuse("keep", "BEFORE UPDATE ON TableUser", "kept"));
    QVERIFY(!dm->Register().CancelRegistration(9, a));
    QCOMPARE(db->count("TableHistory"), 0);
    QCOMPARE(db->count("TableUser", "DeviceId = 9"), 1);
  }

  void historyIsOpenedThroughTheFilter() {
    const int u = addUser("A"), other = addUser("B");
    const double day = DayCountOf(QDate(2024, 5, 1), QTime(0, 0));
    addEvent(7, u, day + 0.25, 1);
    addEvent(7, u, day + 1.25, 9);
    addEvent(8, u, day + 2.25, 1);
    addEvent(7, u, day + 3.25, 5);
    addEvent(7, other, day + 1.25, 1);

    QCOMPARE(dm->History().UserHistory(u, {}).value_or(QList<StoredEvent>{}).size(), 4);

    HistoryCriteria f;
    f.DeviceId = 7;
    f.EventTypes = {1, 5, 6, 9};
    f.Interval = FilterInterval{QDateTime(QDate(2024, 5, 1), QTime(6, 0)),
                                QDateTime(QDate(2024, 5, 2), QTime(6, 0))}; // inclusive
    const std::optional<QList<StoredEvent>> narrowed = dm->History().UserHistory(u, f);
    QVERIFY(narrowed);
    QCOMPARE(narrowed->size(), 2);
    QCOMPARE(narrowed->at(1).EventType, std::optional<int>(9));
    // The criteria passed, not those in the program state, narrow the rows.
    state->Filter = f;
    QCOMPARE(dm->History().UserHistory(u, {}).value_or(QList<StoredEvent>{}).size(), 4);
    QList<qint32> devices = dm->History().StoredDeviceNumbers().value_or(QList<qint32>{});
    std::sort(devices.begin(), devices.end());
    QCOMPARE(devices, (QList<qint32>{7, 8}));
  }

  // Each column read back typed: NULL and what is not a number of its kind
  // read as empty, 0 stays 0, whole numbers keep every digit.
  void historyRowsAreReadTyped() {
    if (db->onServer())
      QSKIP("a server keeps every column to its type");
    const int u = addUser("A"), other = addUser("B");
    QVERIFY(db->exec(QString("INSERT INTO TableHistory VALUES "
                             "(1203, %1, 45000.5, 7, 0.00025, 0.0012),"
                             "(NULL, %1, NULL, NULL, NULL, NULL),"
                             "(0, %1, 45001, 4, 0, 0),"
                             "('x', %1, 'yesterday', 4.5, 'abc', ' 0.5 '),"
                             "(2147483648, %1, '45002', '5', -1, 1e308),"
                             "(9223372036854775807, %1, 45003, 3000000000, '-2e-3', 0),"
                             "(7, %2, 45004, 1, 1, 1)")
                         .arg(u)
                         .arg(other)));
    const std::optional<QList<StoredEvent>> rows = dm->History().UserHistory(u, {});
    QVERIFY(rows);
    using D = std::optional<double>;
    using C = std::optional<int>;
    using N = std::optional<qint64>;
    const QList<StoredEvent> expected{
        {N(1203), u, D(45000.5), C(7), D(0.00025), D(0.0012)},
        {N(), u, D(), C(), D(), D()},
        {N(0), u, D(45001), C(4), D(0), D(0)},
        {N(), u, D(), C(), D(), D(0.5)},
        {N(2147483648LL), u, D(45002), C(5), D(-1), D(1e308)},
        {N(std::numeric_limits<qint64>::max()), u, D(45003), C(), D(-2e-3), D(0)}};
    QCOMPARE(rows->size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i)
      QVERIFY2(rows->at(i) == expected[i], qPrintable(QString("row %1").arg(i)));

    // The columns are found by name, in whatever order the file has them.
    QVERIFY(db->exec("DROP TABLE TableHistory"));
    QVERIFY(db->exec("CREATE TABLE TableHistory (DEValue REAL, EventValue REAL, EventType "
                     "INTEGER, DateTimeEvent REAL, UserId INTEGER, DeviceId INTEGER)"));
    QVERIFY(db->exec(QString("INSERT INTO TableHistory VALUES (0.0012, 0.00025, 7, 45000.5, %1, "
                             "1203)")
                         .arg(u)));
    const std::optional<QList<StoredEvent>> reordered = dm->History().UserHistory(u, {});
    QVERIFY(reordered);
    QCOMPARE(reordered->size(), 1);
    QVERIFY(reordered->first() == expected.first());
  }

  void untypedEventsArePurged() {
    const int u = addUser("A");
    addEvent(1, u, 45000, 1);
    QVERIFY(
        db->exec("INSERT INTO TableHistory (DeviceId, UserId, DateTimeEvent) VALUES (1, 1, 2)"));
    QVERIFY(dm->History().PurgeUntypedEvents());
    QCOMPARE(db->count("TableHistory"), 1);
    QCOMPARE(db->count("TableHistory", "EventType IS NULL"), 0);
  }

  void aReadingIsStoredWhole() {
    QByteArray area;
    area += RawRecord{29, 2, 24, 23, 59, 16, 1.5e-6f, 0, 0.25f}.bytes();
    area += RawRecord{1, 1, 24, 0, 0, 17}.bytes();  // unknown kind
    area += RawRecord{31, 4, 24, 0, 0, 16}.bytes(); // 31 April
    area += RawRecord{2, 3, 24, 8, 30, 3, 0, 65535, 0.5f}.bytes();
    area += RawRecord{2, 3, 24, 8, 31, 2}.bytes();
    area += RawRecord{2, 3, 24, 8, 32, 32, std::numeric_limits<float>::infinity()}.bytes();
    area += RawRecord{2, 3, 24, 8, 33, 5, std::numeric_limits<float>::quiet_NaN()}.bytes();
    area += QByteArray(19, '\x01'); // trailing remainder

    QVERIFY(dm->History().StoreInstrumentHistory(Bytes(area), area.size(), 1203, 42));
    const auto rows = db->rows("SELECT DeviceId, UserId, DateTimeEvent, EventType, EventValue, "
                               "DEValue FROM TableHistory ORDER BY DateTimeEvent");
    QCOMPARE(rows.size(), 5);
    QCOMPARE(rows[0], (QVariantList{1203, 42, DayCountOf(QDate(2024, 2, 29), QTime(23, 59)), 1,
                                    double(1.5e-6f), 0.25}));
    QCOMPARE(rows[1][3], QVariant(2));
    QCOMPARE(rows[1][4], QVariant(65535.0));
    QCOMPARE(rows[2][3], QVariant(4));
    QCOMPARE(rows[2][4], QVariant(-1.0));
    QVERIFY(std::isinf(rows[3][4].toDouble()));
    QVERIFY(rows[4][4].isNull()); // the database keeps no NaN

    // Read again without clearing: every event twice.
    QVERIFY(dm->History().StoreInstrumentHistory(Bytes(area), area.size(), 1203, 42));
    QCOMPARE(db->count("TableHistory"), 10);

    QVERIFY(dm->History().StoreInstrumentHistory(Bytes(area), 0, 1203, 42));
    QVERIFY(dm->History().StoreInstrumentHistory(nullptr, 100, 1203, 42));
    QCOMPARE(db->count("TableHistory"), 10);
  }

  void aFailedInsertStoresNothing() {
    QByteArray area;
    for (int minute = 0; minute < 5; ++minute)
      area += RawRecord{1, 1, 25, 10, minute, minute == 3 ? 64 : 1}.bytes();
    QVERIFY(db->refuse("fail", "BEFORE INSERT ON TableHistory", "disk full", "NEW.EventType = 9"));
    QVERIFY(!dm->History().StoreInstrumentHistory(Bytes(area), area.size(), 5, 6));
    QCOMPARE(db->count("TableHistory"), 0);
    QVERIFY(!dm->LastError().isEmpty());

    QVERIFY(db->allow("fail"));
    QVERIFY(dm->History().StoreInstrumentHistory(Bytes(area), area.size(), 5, 6));
    QCOMPARE(db->count("TableHistory"), 5);
    QCOMPARE(EventCount(*db, 9), 1);
  }

  void anotherProgramWritingIsWaitedFor() {
    if (db->onServer())
      QSKIP("a lock on the SQLite file; desks on a server are tested apart");
    QVERIFY(dm->History().PurgeUntypedEvents());
    sqlite3 *other = nullptr;
    QCOMPARE(
        sqlite3_open_v2(db->path().toUtf8().constData(), &other, SQLITE_OPEN_READWRITE, nullptr),
        SQLITE_OK);
    QCOMPARE(sqlite3_exec(other,
                          "BEGIN IMMEDIATE; INSERT INTO TableUser (UserSecondName) "
                          "VALUES ('other')",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    // The other writer finishes well within the busy time-out.
    std::thread finish([other] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    });
    const QByteArray rec = RawRecord{}.bytes();
    const bool stored = dm->History().StoreInstrumentHistory(Bytes(rec), rec.size(), 1, 1);
    finish.join();
    sqlite3_close(other);
    QVERIFY(stored);
    QCOMPARE(db->count("TableHistory"), 1);
    QCOMPARE(db->count("TableUser"), 1);
  }

  void theConfiguredDatabaseIsUsedForEachStatement() {
    HistoryTestDb other;
    QVERIFY(dm->Register().InsertUser("First", "F", "M", -1));
    dm->SetLocation(other.path());
    QVERIFY(dm->Register().InsertUser("Second", "F", "M", -1));
    QList<Person> people = dm->Register().People().value_or(QList<Person>{});
    QCOMPARE(people.size(), 1);
    QCOMPARE(people[0].SecondName, QString("Second"));
    QCOMPARE(db->count("TableUser"), 1);
    QCOMPARE(other.count("TableUser"), 1);

    // A path with blanks, ';' and '#' in it.
    const QString odd = other.dirPath() + "/a b;c#d?.db";
    QVERIFY(QFile::copy(VX_SUPPLIED_DB, odd));
    dm->SetLocation(odd);
    QVERIFY(dm->Register().InsertUser("Third", "F", "M", -1));
    people = dm->Register().People().value_or(QList<Person>{});
    QCOMPARE(people.size(), 1);
    QCOMPARE(people[0].SecondName, QString("Third"));
    QCOMPARE(other.count("TableUser"), 1);
  }

  void aBadDatabasePathFailsEveryOperation_data() {
    QTest::addColumn<QString>("what");
    QTest::newRow("missing file") << "missing";
    QTest::newRow("directory") << "directory";
    QTest::newRow("not a database") << "text";
    QTest::newRow("no database named") << "none";
  }
  void aBadDatabasePathFailsEveryOperation() {
    QFETCH(QString, what);
    QTemporaryDir dir;
    QString path = dir.filePath("dbVX4418.db");
    QByteArray content = QByteArray("not a database\n").repeated(300);
    if (what == "directory")
      QVERIFY(QDir().mkpath(path));
    if (what == "text") {
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(content);
    }
    dm->SetLocation(what == "none" ? QString() : path);

    const QByteArray rec = RawRecord{}.bytes();
    REG_STATE reg;
    reg.DeviceId = 1;
    reg.UserId = 1;
    QString name = "keep";
    QVERIFY(!dm->Register().People());
    QCOMPARE(dm->Register().LookUpPerson(1).outcome, PersonLookup::Outcome::Failed);
    QCOMPARE(dm->Register().FindDeviceUser(1, &name), -1);
    QCOMPARE(name, QString("keep"));
    QCOMPARE(dm->CountDeviceHolders(1), -1);
    QVERIFY(!dm->Register().InsertUser("A", "B", "C", -1));
    QVERIFY(!dm->History().PurgeUntypedEvents());
    QVERIFY(!dm->History().UserHistory(1, {}));
    QVERIFY(!dm->History().HistoryDeviceNumbers());
    QVERIFY(!dm->History().StoredDeviceNumbers());
    QVERIFY(!dm->History().FirstAndLastEvent(1));
    QCOMPARE(dm->Register().RegisterDevice(reg), Registration::Failed);
    QVERIFY(!dm->Register().CancelRegistration(1, 1));
    QVERIFY(!dm->Register().DeleteUserWithHistory(1));
    QVERIFY(!dm->History().StoreInstrumentHistory(Bytes(rec), rec.size(), 1, 1));
    QVERIFY(!dm->Register().FindDuplicatePerson("A", "B", "C", -1));
    QVERIFY(!dm->LastError().isEmpty());

    // Nothing was created or changed.
    if (what == "missing" || what == "none")
      QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    if (what == "text") {
      QFile file(path);
      QVERIFY(file.open(QIODevice::ReadOnly));
      QCOMPARE(file.readAll(), content);
    }

    // Back to a good path, the next statement works.
    dm->SetLocation(db->path());
    QVERIFY(dm->Register().People());
  }

  // Every change of the register and the history leaves one journal row,
  // written with it; a change that fails leaves none.
  void everyChangeIsJournaledWithIt() {
    dm->JournalLog().SetDesk("Gate 2", "operator7");
    QVERIFY(dm->Register().InsertUser("Ivanov", "Ivan", "I", -1));
    const int u = db->scalar("SELECT MAX(UserId) FROM TableUser").toInt();
    QVERIFY(dm->Register().UpdatePerson(u, "Ivanova", "Ivan", "I"));
    REG_STATE reg;
    reg.DeviceId = 4711;
    reg.UserId = u;
    QCOMPARE(dm->Register().RegisterDevice(reg), Registration::Registered);
    QByteArray reading;
    for (int minute = 0; minute < 3; ++minute)
      reading += RawRecord{1, 1, 25, 10, minute, 16}.bytes();
    QCOMPARE(dm->FileReading(4711, {Bytes(reading), std::size_t(reading.size())}).EventsFiled, 3);
    QVERIFY(dm->History().DeleteHistory(u, std::nullopt, 4711));
    QVERIFY(dm->Register().CancelRegistration(4711, u));
    QVERIFY(dm->Register().DeleteUserWithHistory(u));

    // Refused changes write nothing.
    QVERIFY(!dm->Register().UpdatePerson(u, "Gone", "", ""));
    QCOMPARE(dm->Register().RegisterDevice(reg), Registration::PersonGone);

    const auto rows = db->rows("SELECT Desk, OsUser, Action, UserId, DeviceId, EventCount "
                               "FROM TableJournal ORDER BY JournalId");
    const QVariant none;
    QCOMPARE(rows, (QList<QVariantList>{
                       {"Gate 2", "operator7", 4, u, none, none},
                       {"Gate 2", "operator7", 5, u, none, none},
                       {"Gate 2", "operator7", 2, u, 4711, none},
                       {"Gate 2", "operator7", 1, u, 4711, 3},
                       {"Gate 2", "operator7", 7, u, 4711, 4}, // three alarms and the receipt
                       {"Gate 2", "operator7", 3, u, 4711, none},
                       {"Gate 2", "operator7", 6, u, none, 1}, // the hand-back event
                   }));
    QCOMPARE(DayCountToDateTime(db->scalar("SELECT MIN(JournalTime) FROM TableJournal").toDouble()),
             clock->now());

    // A change the database refuses takes its journal row with it.
    QVERIFY(dm->Register().InsertUser("Petrov", "P", "", -1));
    const int p = db->scalar("SELECT MAX(UserId) FROM TableUser").toInt();
    QVERIFY(db->refuse("keep", "BEFORE DELETE ON TableUser", "kept"));
    QVERIFY(!dm->Register().DeleteUserWithHistory(p));
    QCOMPARE(db->count("TableJournal"), 8);
  }

  void theJournalIsReadNewestFirstWithTheNamesOfNow() {
    const int a = addUser("Abcd", 5), b = addUser("Efgh");
    REG_STATE reg;
    reg.DeviceId = 6;
    reg.UserId = b;
    QCOMPARE(dm->Register().RegisterDevice(reg), Registration::Registered);
    clock->set(clock->now().addSecs(60));
    QVERIFY(dm->Register().CancelRegistration(5, a));
    QVERIFY(db->exec("DELETE FROM TableUser WHERE UserId = " + QString::number(a)));

    const QList<JournalEntry> entries = dm->JournalLog().Entries().value_or(QList<JournalEntry>{});
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[0].Action, int(JournalAction::RegistrationCancelled));
    QCOMPARE(entries[0].UserId, std::optional<qint64>(a));
    QCOMPARE(entries[0].PersonName, QString()); // no longer in the register
    QCOMPARE(entries[1].Action, int(JournalAction::Registered));
    QCOMPARE(entries[1].PersonName, QString("Efgh F M"));
    QCOMPARE(entries[1].DeviceId, std::optional<qint64>(6));
    QVERIFY(!entries[1].Count);
    QVERIFY(entries[0].Time > entries[1].Time);
    QCOMPARE(dm->JournalLog().Entries(1).value_or(QList<JournalEntry>{}).size(), 1);
  }
};

QTEST_GUILESS_MAIN(TstHistoryDb)
#include "tst_history_db.moc"
