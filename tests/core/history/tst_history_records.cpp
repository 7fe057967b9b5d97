// Decoding of instrument history and day counts.
#include <QtTest>
#include <cmath>
#include <cstring>
#include <limits>

#include "HistoryTestDb.h"
#include "history/DayCount.h"
#include "history/HistoryRecord.h"

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

private slots:
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
};

QTEST_GUILESS_MAIN(TstHistoryRecords)
#include "tst_history_records.moc"
