// The history filter's criteria, the statement they become, their date
// interval and the reading of a typed instrument number.
#include "db/Statement.h"
#include "history/HistoryFilter.h"

#include <QtTest>

Q_DECLARE_METATYPE(HistoryFilterChoice)

namespace {

using Codes = QList<int>;

HistoryFilterChoice EventsOnly(std::initializer_list<FilterEvent> events) {
  HistoryFilterChoice c;
  c.OnEvent = true;
  for (FilterEvent e : events)
    c.Event(e) = true;
  return c;
}

} // namespace

class TestHistoryFilter : public QObject {
  Q_OBJECT
private slots:
  void nothingTickedNarrowsNothing();
  void eachEventBoxAlone_data();
  void eachEventBoxAlone();
  void severalBoxes_data();
  void severalBoxes();
  void combinedExample();
  void boxesIgnoredWhileEventSwitchIsOff();
  void laterStartIsSwapped();
  void deviceNumberText_data();
  void deviceNumberText();
  void statementBindsEveryValue();
};

void TestHistoryFilter::nothingTickedNarrowsNothing() {
  HistoryFilterChoice c;
  c.DeviceText = "1203";
  c.Events.fill(true);
  QVERIFY(BuildHistoryCriteria(c).IsEmpty());
  // Event switch on with no box ticked: any code.
  QVERIFY(BuildHistoryCriteria(EventsOnly({})).IsEmpty());
}

void TestHistoryFilter::eachEventBoxAlone_data() {
  QTest::addColumn<int>("event");
  QTest::addColumn<Codes>("codes");
  QTest::newRow("gamma") << int(FilterEvent::GammaAlarm) << Codes{1};
  QTest::newRow("phosphorus") << int(FilterEvent::PhosphorumAlarm) << Codes{2};
  QTest::newRow("arsenic") << int(FilterEvent::ArseniumAlarm) << Codes{3};
  QTest::newRow("on/off") << int(FilterEvent::DeviceOnOff) << Codes{4};
  QTest::newRow("receive/hand") << int(FilterEvent::ReceiveHand) << Codes{5, 6};
  QTest::newRow("time") << int(FilterEvent::TimeAlarm) << Codes{7};
  QTest::newRow("dose") << int(FilterEvent::DoseAlarm) << Codes{8};
  QTest::newRow("battery") << int(FilterEvent::BatteryOff) << Codes{9};
}

void TestHistoryFilter::eachEventBoxAlone() {
  QFETCH(int, event);
  QFETCH(Codes, codes);
  QCOMPARE(BuildHistoryCriteria(EventsOnly({FilterEvent(event)})).EventTypes, codes);
}

void TestHistoryFilter::severalBoxes_data() {
  QTest::addColumn<HistoryFilterChoice>("choice");
  QTest::addColumn<Codes>("codes");
  using E = FilterEvent;
  QTest::newRow("all eight") << EventsOnly({E::GammaAlarm, E::PhosphorumAlarm, E::ArseniumAlarm,
                                            E::DeviceOnOff, E::ReceiveHand, E::TimeAlarm,
                                            E::DoseAlarm, E::BatteryOff})
                             << Codes{1, 2, 3, 4, 5, 6, 7, 8, 9};
  QTest::newRow("receive/hand last")
      << EventsOnly({E::ArseniumAlarm, E::ReceiveHand}) << Codes{3, 5, 6};
  QTest::newRow("in code order whatever the order ticked")
      << EventsOnly({E::BatteryOff, E::DeviceOnOff}) << Codes{4, 9};
}

void TestHistoryFilter::severalBoxes() {
  QFETCH(HistoryFilterChoice, choice);
  QFETCH(Codes, codes);
  QCOMPARE(BuildHistoryCriteria(choice).EventTypes, codes);
}

void TestHistoryFilter::combinedExample() {
  HistoryFilterChoice c =
      EventsOnly({FilterEvent::GammaAlarm, FilterEvent::ReceiveHand, FilterEvent::BatteryOff});
  c.OnDateTime = true;
  c.DateFrom = QDate(2026, 3, 1);
  c.TimeFrom = QTime(8, 0, 0);
  c.DateTo = QDate(2026, 3, 2);
  c.TimeTo = QTime(17, 30, 15);
  c.OnDevice = true;
  c.DeviceText = "1203";
  const HistoryCriteria b = BuildHistoryCriteria(c);
  QCOMPARE(b.DeviceId, std::optional<qint32>(1203));
  QCOMPARE(b.EventTypes, (Codes{1, 5, 6, 9}));
  QVERIFY(b.Interval);
  QCOMPARE(b.Interval->Begin, QDateTime(QDate(2026, 3, 1), QTime(8, 0, 0)));
  QCOMPARE(b.Interval->End, QDateTime(QDate(2026, 3, 2), QTime(17, 30, 15)));
}

void TestHistoryFilter::boxesIgnoredWhileEventSwitchIsOff() {
  HistoryFilterChoice c = EventsOnly({FilterEvent::GammaAlarm});
  c.OnEvent = false;
  c.OnDateTime = true;
  c.DateFrom = c.DateTo = QDate(2026, 1, 1);
  const HistoryCriteria b = BuildHistoryCriteria(c);
  QVERIFY(b.Interval);
  QVERIFY(b.EventTypes.isEmpty());
  QVERIFY(!b.DeviceId);
}

void TestHistoryFilter::laterStartIsSwapped() {
  // Same day, the start time later than the end time.
  FilterInterval i =
      FilterDateInterval(QDate(2026, 5, 4), QTime(18, 0, 0), QDate(2026, 5, 4), QTime(6, 0, 0));
  QCOMPARE(i.Begin.time(), QTime(6, 0, 0));
  QCOMPARE(i.End.time(), QTime(18, 0, 0));
  // A later day with an earlier time is still later.
  i = FilterDateInterval(QDate(2026, 5, 5), QTime(1, 0, 0), QDate(2026, 5, 4), QTime(23, 0, 0));
  QCOMPARE(i.Begin, QDateTime(QDate(2026, 5, 4), QTime(23, 0, 0)));
  QCOMPARE(i.End, QDateTime(QDate(2026, 5, 5), QTime(1, 0, 0)));
}

void TestHistoryFilter::deviceNumberText_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<bool>("valid");
  QTest::addColumn<int>("number");
  QTest::newRow("plain") << "1203" << true << 1203;
  QTest::newRow("blanks around") << " \t42 " << true << 42;
  QTest::newRow("leading zeros") << "0007" << true << 7;
  QTest::newRow("plus sign") << "+15" << true << 15;
  QTest::newRow("zero") << "0" << true << 0;
  QTest::newRow("negative") << "-5" << true << -5;
  QTest::newRow("negative, zeros and blanks") << " -0012 " << true << -12;
  QTest::newRow("largest") << "2147483647" << true << 2147483647;
  QTest::newRow("smallest") << "-2147483648" << true << int(-2147483648LL);
  QTest::newRow("one past largest") << "2147483648" << false << 0;
  QTest::newRow("one past smallest") << "-2147483649" << false << 0;
  QTest::newRow("far beyond 64 bits") << "123456789012345678901234567890" << false << 0;
  QTest::newRow("empty") << "" << false << 0;
  QTest::newRow("blanks only") << "   " << false << 0;
  QTest::newRow("sign only") << "-" << false << 0;
  QTest::newRow("two signs") << "--5" << false << 0;
  QTest::newRow("trailing letter") << "12a" << false << 0;
  QTest::newRow("letters") << "abc" << false << 0;
  QTest::newRow("blank inside") << "1 2" << false << 0;
  QTest::newRow("hex") << "0x10" << false << 0;
  QTest::newRow("exponent") << "1e3" << false << 0;
  QTest::newRow("fraction") << "12.0" << false << 0;
  QTest::newRow("statement") << "1; DELETE FROM TableHistory" << false << 0;
  QTest::newRow("condition") << "1 OR 1=1" << false << 0;
  QTest::newRow("comment") << "1 --" << false << 0;
  QTest::newRow("arabic-indic digits") << QString::fromUtf8("\u0661\u0662") << false << 0;
  QTest::newRow("full-width digits") << QString::fromUtf8("\uFF11\uFF12") << false << 0;
}

void TestHistoryFilter::deviceNumberText() {
  QFETCH(QString, text);
  QFETCH(bool, valid);
  QFETCH(int, number);
  const std::optional<qint32> parsed = ParseDeviceNumber(text);
  QCOMPARE(parsed.has_value(), valid);
  if (valid)
    QCOMPARE(*parsed, number);

  HistoryFilterChoice c;
  c.OnDevice = true;
  c.DeviceText = text;
  QCOMPARE(BuildHistoryCriteria(c).DeviceId, parsed);
}

void TestHistoryFilter::statementBindsEveryValue() {
  HistoryCriteria c;
  c.Interval = FilterInterval{QDateTime(QDate(2026, 3, 1), QTime(8, 0)),
                              QDateTime(QDate(2026, 3, 2), QTime(17, 30))};
  c.DeviceId = 1203;
  c.EventTypes = {1, 5, 6};
  const Statement s = HistorySelect(77, c);
  // No value is part of the text; each is bound under a name the text holds.
  for (const char *value : {"77", "1203"})
    QVERIFY2(!s.text.contains(QLatin1String(value)), qPrintable(s.text));
  for (auto it = s.params.cbegin(); it != s.params.cend(); ++it)
    QVERIFY2(s.text.contains(it.key()), qPrintable(it.key()));
  QCOMPARE(s.params.value(":PUserId").toInt(), 77);
  QCOMPARE(s.params.value(":PDeviceId").toInt(), 1203);
  QCOMPARE(s.params.size(), 7);
  // Nothing chosen: the person's events only.
  QCOMPARE(HistorySelect(5, {}).params.size(), 1);
}

QTEST_GUILESS_MAIN(TestHistoryFilter)
#include "tst_historyfilter.moc"
