// Decoding of instrument history, day counts, connection strings and the
// in-memory record sets with their filters.
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>
#include <cmath>
#include <cstring>
#include <limits>

#include "HistoryTestDb.h"
#include "db/DbConnection.h"
#include "history/DayCount.h"
#include "history/HistoryRecord.h"
#include "history/RecordSet.h"

Q_DECLARE_METATYPE(HistoryEventType)

namespace {
quint32 Bits(float f) {
  quint32 b;
  std::memcpy(&b, &f, 4);
  return b;
}
float FromBits(quint32 b) {
  float f;
  std::memcpy(&f, &b, 4);
  return f;
}
} // namespace

class TstHistoryRecords : public QObject {
  Q_OBJECT

  QSqlDatabase mem;

  // A record set holding the rows of `sql` run on an in-memory database.
  RecordSet Load(const QString &setup, const QString &select) {
    QSqlQuery q(mem);
    for (const QString &s : setup.split(';', Qt::SkipEmptyParts))
      if (!q.exec(s))
        qWarning() << q.lastError().text() << s;
    q.setForwardOnly(true);
    RecordSet rows;
    if (!q.exec(select) || !rows.Load(q))
      qWarning() << q.lastError().text();
    return rows;
  }
  RecordSet Users() {
    return Load("DROP TABLE IF EXISTS U;"
                "CREATE TABLE U (UserId INTEGER PRIMARY KEY, UserSecondName TEXT, "
                "UserFirstName TEXT, UserMiddleName TEXT, DeviceId INTEGER DEFAULT -1);"
                "INSERT INTO U VALUES (3, 'O''Brien', 'x', 'y', 5);"
                "INSERT INTO U VALUES (7, 'Smith', 'x', NULL, -1);"
                "INSERT INTO U VALUES (9, 'Jones', 'X', 'y', 5);"
                "INSERT INTO U VALUES (12, 'o''brien', 'x', 'y', 12)",
                "SELECT * FROM U");
  }

private slots:
  void initTestCase() {
    mem = QSqlDatabase::addDatabase("QSQLITE", "records");
    mem.setDatabaseName(":memory:");
    QVERIFY(mem.open());
  }

  void recordsWithImpossibleTimesAreRejected_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("available");
    QTest::newRow("all 0xFF") << QByteArray(20, '\xff') << 20;
    QTest::newRow("all zero") << QByteArray(20, '\0') << 20;
    QTest::newRow("31 April") << RawRecord{31, 4}.bytes() << 20;
    QTest::newRow("29 Feb 2023") << RawRecord{29, 2, 23}.bytes() << 20;
    QTest::newRow("month 13") << RawRecord{1, 13}.bytes() << 20;
    QTest::newRow("hour 24") << RawRecord{1, 1, 24, 24}.bytes() << 20;
    QTest::newRow("minute 60") << RawRecord{1, 1, 24, 0, 60}.bytes() << 20;
    QTest::newRow("19 bytes left") << RawRecord{}.bytes() << 19;
  }
  void recordsWithImpossibleTimesAreRejected() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, available);
    HistoryRecord r;
    QVERIFY(!DecodeHistoryRecord(Bytes(bytes), available, r));
  }

  void fieldsAreDecodedBitForBit() {
    const float nan = FromBits(0x7fa12345); // signalling NaN with a payload
    const QByteArray b =
        RawRecord{
            29, 2, 24, 23, 59, 16, nan, 0xfffe, -std::numeric_limits<float>::infinity(), 0xdeadbeef}
            .bytes();
    HistoryRecord r;
    QVERIFY(DecodeHistoryRecord(Bytes(b), 20, r));
    QCOMPARE(DayCountToDateTime(r.Time), QDateTime(QDate(2024, 2, 29), QTime(23, 59)));
    QCOMPARE(Bits(r.DoseRate), 0x7fa12345u);
    QVERIFY(std::isinf(r.Dose) && r.Dose < 0);
    QCOMPARE(r.ChannelValue, 0xfffe);
    QCOMPARE(r.Extra, 0xdeadbeefu);
    QCOMPARE(int(r.Kind), 16);

    HistoryRecord last;
    QVERIFY(DecodeHistoryRecord(Bytes(RawRecord{31, 12, 255, 0, 0, 1}.bytes()), 20, last));
    QCOMPARE(DayCountToDateTime(last.Time).date(), QDate(2255, 12, 31));
  }

  void kindsGiveTheirEvents_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("hasEvent");
    QTest::addColumn<HistoryEventType>("type");
    QTest::addColumn<double>("value");
    const double rate = double(2.5e-5f);
    QTest::newRow("1 on") << 1 << true << HistoryEventType::DeviceOnOff << 1.0;
    QTest::newRow("2 off") << 2 << true << HistoryEventType::DeviceOnOff << -1.0;
    QTest::newRow("3 phosphorus") << 3 << true << HistoryEventType::PhosphorumAlarm << 40000.0;
    QTest::newRow("4 arsenic") << 4 << true << HistoryEventType::ArseniumAlarm << 40000.0;
    QTest::newRow("5 time") << 5 << true << HistoryEventType::TimeAlarm << rate;
    QTest::newRow("16 gamma") << 16 << true << HistoryEventType::GammaAlarm << rate;
    QTest::newRow("32 dose") << 32 << true << HistoryEventType::DoseAlarm << rate;
    QTest::newRow("64 battery") << 64 << true << HistoryEventType::BatteryOff << -1.0;
    for (int kind : {0, 6, 8, 17, 48, 128, 255})
      QTest::addRow("%d unknown", kind) << kind << false << HistoryEventType::GammaAlarm << 0.0;
  }
  void kindsGiveTheirEvents() {
    QFETCH(int, kind);
    QFETCH(bool, hasEvent);
    RawRecord raw{3, 3, 25, 12, 0, kind, 2.5e-5f, 40000, 0.125f};
    HistoryRecord r;
    QVERIFY(DecodeHistoryRecord(Bytes(raw.bytes()), 20, r));
    const auto event = HistoryEventOf(r);
    QCOMPARE(event.has_value(), hasEvent);
    if (!hasEvent)
      return;
    QTEST(event->Type, "type");
    QTEST(event->EventValue, "value");
    QCOMPARE(event->DEValue, 0.125);
  }

  void eventsAreNamedByTheirTextEntries() {
    const QList<int> entries{13, 14, 15, 17, 21, 22, 23, 18, 19};
    for (int code = 1; code <= 9; ++code)
      QCOMPARE(HistoryEventTextEntry(code, 1.0), entries[code - 1]);
    QCOMPARE(HistoryEventTextEntry(4, -1.0), 16);
    QCOMPARE(HistoryEventTextEntry(4, 0.0), 16);
    QCOMPARE(HistoryEventTextEntry(4), 17); // no value: shown as on
    QCOMPARE(HistoryEventTextEntry(0), -1);
    QCOMPARE(HistoryEventTextEntry(10), -1);
  }

  void theWalkVisitsWholeRecordsInOrder() {
    QByteArray area = RawRecord{1, 1, 24, 0, 1, 1}.bytes() + RawRecord{1, 1, 24, 0, 2, 2}.bytes() +
                      QByteArray(10, '\x01');
    QList<double> seen;
    const auto collect = [&](const HistoryRecord &r, const HistoryEvent &) { seen << r.Time; };
    QCOMPARE(WalkHistory(Bytes(area), area.size(), collect), 2); // 50 bytes
    QCOMPARE(seen.size(), 2);
    QVERIFY(seen[0] < seen[1]);

    area = RawRecord{1, 1, 24, 0, 1, 1}.bytes() + QByteArray(20, '\0') +
           RawRecord{1, 1, 24, 0, 1, 8}.bytes() + RawRecord{1, 1, 24, 0, 1, 1}.bytes();
    seen.clear();
    QCOMPARE(WalkHistory(Bytes(area), area.size(), collect), 2); // duplicates kept
    QCOMPARE(seen[0], seen[1]);
    QCOMPARE(WalkHistory(Bytes(area), 0, collect), 0);
    QCOMPARE(WalkHistory(nullptr, 40, collect), 0);
  }

  void dayCountsMatchTheCalendar_data() {
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<double>("days");
    QTest::newRow("origin") << QDateTime(QDate(1899, 12, 30), QTime(0, 0)) << 0.0;
    QTest::newRow("1 Jan 1900") << QDateTime(QDate(1900, 1, 1), QTime(0, 0)) << 2.0;
    QTest::newRow("leap day noon") << QDateTime(QDate(2024, 2, 29), QTime(12, 0)) << 45351.5;
    QTest::newRow("before origin") << QDateTime(QDate(1899, 12, 29), QTime(6, 0)) << -1.25;
  }
  void dayCountsMatchTheCalendar() {
    QFETCH(QDateTime, time);
    QFETCH(double, days);
    QCOMPARE(DateTimeToDayCount(time), days);
    QCOMPARE(DayCountToDateTime(days), time);
  }

  void dayCountsRoundTripToTheMillisecond() {
    QDateTime t(QDate(1999, 12, 31), QTime(23, 59, 59, 999));
    for (int i = 0; i < 2000; ++i) {
      QCOMPARE(DayCountToDateTime(DateTimeToDayCount(t)), t);
      t = QDateTime(
          t.date().addDays(97),
          QTime::fromMSecsSinceStartOfDay((t.time().msecsSinceStartOfDay() + 7919777) % 86400000));
    }
    QVERIFY(!DayCountToDateTime(std::numeric_limits<double>::quiet_NaN()).isValid());
    QVERIFY(!DayCountToDateTime(1e300).isValid());
    // Just below midnight rounds up to the next day, not to 24:00.
    QCOMPARE(DayCountToDateTime(45000.99999999999),
             QDateTime(QDate(1899, 12, 30).addDays(45001), QTime(0, 0)));
  }

  void theDataSourceIsTakenFromTheConnectionString_data() {
    QTest::addColumn<QString>("connection");
    QTest::addColumn<QString>("path");
    QTest::newRow("usual") << "Data Source=/opt/vx/DB/dbVX4418.db;Mode=ReadWrite|Share Deny None;"
                           << "/opt/vx/DB/dbVX4418.db";
    QTest::newRow("semicolon in path") << "Data Source=/tmp/a;b.db;Mode=ReadWrite;"
                                       << "/tmp/a;b.db";
    QTest::newRow("quoted") << "Provider=X;data source=\"/tmp/a;Mode=b.db\";Mode=ReadWrite;"
                            << "/tmp/a;Mode=b.db";
    QTest::newRow("last key") << "Data Source=C:\\VX\\DB\\db.db"
                              << "C:\\VX\\DB\\db.db";
    QTest::newRow("none") << "Mode=ReadWrite;"
                          << "";
    QTest::newRow("empty") << ""
                           << "";
  }
  void theDataSourceIsTakenFromTheConnectionString() {
    QFETCH(QString, connection);
    QTEST(DataSourceOf(connection), "path");
  }

  void recordSetsFilterLikeTheWindowsExpect_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<bool>("understood");
    QTest::addColumn<QList<int>>("keys");
    QTest::newRow("device") << "DeviceId = 5" << true << QList<int>{3, 9};
    QTest::newRow("no blanks") << "DeviceId<0" << true << QList<int>{7};
    QTest::newRow("key") << "UserId =7" << true << QList<int>{7};
    QTest::newRow("names") << "UserSecondName='O''Brien' AND UserFirstName='x' AND "
                              "UserMiddleName='y'"
                           << true << QList<int>{3};
    QTest::newRow("case counts") << "UserFirstName='x'" << true << QList<int>{3, 7, 12};
    QTest::newRow("NULL equals nothing") << "UserMiddleName=''" << true << QList<int>{};
    QTest::newRow("NULL unequal to nothing") << "UserMiddleName<>'y'" << true << QList<int>{};
    QTest::newRow("NULL or empty")
        << "UserFirstName='x' AND (UserMiddleName IS NULL OR UserMiddleName='')" << true
        << QList<int>{7};
    QTest::newRow("not NULL") << "UserMiddleName is not null AND DeviceId=5" << true
                              << QList<int>{3, 9};
    QTest::newRow("or and brackets")
        << "(DeviceId >= 12 OR UserId <= 3) AND [userfirstname] = 'x'" << true << QList<int>{3, 12};
    QTest::newRow("text against number") << "DeviceId = '5'" << true << QList<int>{3, 9};
    QTest::newRow("unknown field") << "Nobody = 1" << false << QList<int>{};
    QTest::newRow("sql is not run") << "DeviceId = 5; DROP TABLE U" << false << QList<int>{};
    QTest::newRow("open quote") << "UserSecondName='O'Brien'" << false << QList<int>{};
    QTest::newRow("dangling AND") << "DeviceId = 5 AND" << false << QList<int>{};
    QTest::newRow("deep brackets")
        << QString(100, '(') + "UserId=3" + QString(100, ')') << false << QList<int>{};
  }
  void recordSetsFilterLikeTheWindowsExpect() {
    QFETCH(QString, filter);
    QFETCH(QList<int>, keys);
    RecordSet users = Users();
    QTEST(users.SetFilter(filter), "understood");
    QCOMPARE(users.RecordCount(), 4); // only while filtering is on
    users.SetFiltered(true);
    QList<int> seen;
    for (users.First(); !users.Eof(); users.Next())
      seen << users.FieldByName("UserId").toInt();
    QCOMPARE(seen, keys);
    QCOMPARE(users.RowCount(), keys.size());
    users.SetFiltered(false);
    QCOMPARE(users.RecordCount(), 4);
  }

  void theCursorAndIndexedAccessAgree() {
    RecordSet users = Users();
    QVERIFY(users.Active());
    QCOMPARE(users.RecNo(), 1);
    users.SetFilter("DeviceId = 5");
    users.SetFiltered(true);
    users.Next();
    QCOMPARE(users.RecNo(), 2);
    QCOMPARE(users.FieldByName("UserSecondName"), users.Value(1, "UserSecondName"));
    QCOMPARE(users.SourceRow(1), 2);
    users.Next();
    QVERIFY(users.Eof());
    QCOMPARE(users.RecNo(), 0);
    QVERIFY(!users.FieldByName("UserId").isValid());
    users.Last();
    users.Prior();
    users.Prior();
    QVERIFY(users.Bof());
    QVERIFY(users.SetRecNo(2));
    QVERIFY(!users.SetRecNo(3));

    users.SetFiltered(false);
    QVERIFY(users.Value(1, "UserMiddleName").isNull()); // NULL kept
    QVERIFY(users.IsNull(1, 3));
    QVERIFY(!users.IsNull(0, 3));
    QVERIFY(!users.Value(0, 99).isValid());
    QCOMPARE(users.Value(0, 0).typeId(), int(QMetaType::LongLong));

    users.Close();
    QCOMPARE(users.RecordCount(), 0);
    QVERIFY(users.Eof());
  }

  void theFilterOutlivesAReload() {
    RecordSet users;
    QVERIFY(users.SetFilter("DeviceId = 12")); // not open yet: checked on load
    users.SetFiltered(true);
    QSqlQuery q(mem);
    q.setForwardOnly(true);
    Users();
    QVERIFY(q.exec("SELECT * FROM U"));
    QVERIFY(users.Load(q));
    QCOMPARE(users.RecordCount(), 1);
    QCOMPARE(users.FieldByName("UserId"), QVariant(12));
  }

  void mixedColumnsKeepEveryValue() {
    RecordSet rows = Load("CREATE TABLE M (v);"
                          "INSERT INTO M VALUES (NULL);"
                          "INSERT INTO M VALUES (5);"
                          "INSERT INTO M VALUES (2.5);"
                          "INSERT INTO M VALUES ('text');"
                          "INSERT INTO M VALUES (X'00FF')",
                          "SELECT v FROM M");
    QCOMPARE(rows.RowCount(), 5);
    QVERIFY(rows.Value(0, 0).isNull());
    QCOMPARE(rows.Value(1, 0), QVariant(5));
    QCOMPARE(rows.Value(2, 0), QVariant(2.5));
    QCOMPARE(rows.Value(3, 0), QVariant("text"));
    QCOMPARE(rows.Value(4, 0).toByteArray(), QByteArray("\x00\xff", 2));
    rows.SetFilter("v > 3");
    rows.SetFiltered(true);
    QCOMPARE(rows.RowCount(), 1);
  }
};

QTEST_GUILESS_MAIN(TstHistoryRecords)
#include "tst_history_records.moc"
