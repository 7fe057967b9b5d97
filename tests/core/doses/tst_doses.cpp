// Each person's dose per period from the accumulated doses of the stored
// events (docs/DOSE.md), and vx4418-doses writing it as CSV.
#include <QProcess>
#include <QtTest>

#include "HistoryTestDb.h"
#include "history/DayCount.h"
#include "history/DoseTotals.h"

namespace {
double At(int year, int month, int day, int hour = 12) {
  return DateTimeToDayCount(QDateTime(QDate(year, month, day), QTime(hour, 0)));
}

QHash<qint32, double> YearDose(const QList<DoseEvent> &events, int year) {
  return DosePerPerson(DoseIncrements(events), CalendarYear(year));
}

bool Near(double a, double b) {
  return std::abs(a - b) <= 1e-15 + 1e-12 * std::abs(b);
}
} // namespace

class TstDoses : public QObject {
  Q_OBJECT

private slots:
  // The cases the rule is written for, one instrument timeline each unless said.
  void theRuleGivesEachPersonWhatTheyReceived_data() {
    QTest::addColumn<QList<DoseEvent>>("events");
    QTest::addColumn<double>("first");  // person 1's dose in 2025
    QTest::addColumn<double>("second"); // person 2's dose in 2025
    const double t1 = At(2025, 3, 1), t2 = At(2025, 3, 2), t3 = At(2025, 3, 3), t4 = At(2025, 3, 4);
    QTest::newRow("hand-over without clearing") << QList<DoseEvent>{{7, 1, t1, 0.001},
                                                                    {7, 1, t2, 0.003},
                                                                    {7, 2, t3, 0.004},
                                                                    {7, 2, t4, 0.006}}
                                                << 0.003 << 0.003;
    QTest::newRow("a cleared dose starts from zero")
        << QList<DoseEvent>{{7, 1, t1, 0.005}, {7, 1, t2, 0.001}, {7, 1, t3, 0.002}} << 0.007
        << 0.0;
    QTest::newRow("a reading filed twice adds nothing") << QList<DoseEvent>{{7, 1, t1, 0.001},
                                                                            {7, 1, t2, 0.002},
                                                                            {7, 1, t1, 0.001},
                                                                            {7, 1, t2, 0.002}}
                                                        << 0.002 << 0.0;
    QTest::newRow("two instruments of one person, interleaved")
        << QList<DoseEvent>{{7, 1, t1, 0.001},
                            {8, 1, t2, 0.010},
                            {7, 1, t3, 0.002},
                            {8, 1, t4, 0.011}}
        << 0.013 << 0.0;
    QTest::newRow("same time: the smaller DE first")
        << QList<DoseEvent>{{7, 1, t1, 0.004}, {7, 2, t1, 0.001}} << 0.003 << 0.001;
    QTest::newRow("rows without a usable DE take no part")
        << QList<DoseEvent>{{7, 1, t1, 0.001},
                            {7, 1, t2, -1},
                            {7, 1, t3, 0.002},
                            {7, 1, t4, std::numeric_limits<double>::quiet_NaN()}}
        << 0.002 << 0.0;
    QTest::newRow("the instruments' timelines cross people and years")
        << QList<DoseEvent>{{7, 2, At(2024, 12, 30), 0.004}, {7, 1, t1, 0.005}} << 0.001 << 0.0;
  }
  void theRuleGivesEachPersonWhatTheyReceived() {
    QFETCH(QList<DoseEvent>, events);
    QFETCH(double, first);
    QFETCH(double, second);
    const QHash<qint32, double> dose = YearDose(events, 2025);
    QVERIFY2(Near(dose.value(1), first), qPrintable(QString::number(dose.value(1), 'g', 17)));
    QVERIFY2(Near(dose.value(2), second), qPrintable(QString::number(dose.value(2), 'g', 17)));
  }

  // Midnight on 1 January opens the new year; five years end with the year
  // given; the last 12 months end now, now included.
  void periodsHaveTheirBounds() {
    const double midnight = DateTimeToDayCount(QDateTime(QDate(2026, 1, 1), QTime(0, 0)));
    const QList<DoseEvent> events{{7, 1, At(2025, 12, 31, 23), 0.001}, {7, 1, midnight, 0.003}};
    QVERIFY(Near(YearDose(events, 2025).value(1), 0.001));
    QVERIFY(Near(YearDose(events, 2026).value(1), 0.002));
    const QList<DoseIncrement> increments = DoseIncrements(events);
    QVERIFY(Near(DosePerPerson(increments, FiveYears(2026)).value(1), 0.003));
    QVERIFY(Near(DosePerPerson(increments, FiveYears(2030)).value(1), 0.002)); // 2026..2030
    QVERIFY(DosePerPerson(increments, FiveYears(2031)).isEmpty());
    const QDateTime now = DayCountToDateTime(midnight);
    QVERIFY(Near(DosePerPerson(increments, Last12Months(now)).value(1), 0.003));
    QVERIFY(Near(DosePerPerson(increments, Last12Months(now.addSecs(-1))).value(1), 0.001));
    QVERIFY(DosePerPerson(increments, Last12Months(now.addYears(2))).isEmpty());
  }

  // The database's events through the tool, on the engine under test: every
  // person in key order, names as CSV fields, doses in sievert.
  void theToolWritesEveryPersonsYear() {
    HistoryTestDb db;
    QVERIFY(db.ok());
    QVERIFY(db.exec("INSERT INTO TableUser VALUES (3, 'Ivanov', 'Ivan', 'I', 7)"));
    QVERIFY(db.exec("INSERT INTO TableUser VALUES (1, 'O\"Brien, Jr', 'Pat', NULL, -1)"));
    QVERIFY(db.exec("INSERT INTO TableUser VALUES (2, 'Nobody', 'Without', 'Events', -1)"));
    const auto event = [&](int device, int user, double time, const QString &de) {
      return db.exec(QStringLiteral("INSERT INTO TableHistory VALUES (%1, %2, %3, 8, 1e-6, %4)")
                         .arg(device)
                         .arg(user)
                         .arg(time, 0, 'g', 17)
                         .arg(de));
    };
    QVERIFY(event(7, 1, At(2021, 6, 1), "0.010"));
    QVERIFY(event(7, 1, At(2025, 2, 1), "0.012"));
    QVERIFY(event(7, 3, At(2025, 5, 1), "0.015")); // handed over to Ivanov
    QVERIFY(event(7, 3, At(2025, 5, 1), "NULL"));  // takes no part
    QVERIFY(event(7, 3, At(2025, 6, 1), "0.001")); // cleared before
    QProcess tool;
    tool.start(QStringLiteral(VX_DOSES_TOOL), {"--db", db.path(), "--year", "2025"});
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(tool.readAllStandardOutput()).split(u'\n');
    QCOMPARE(lines, (QStringList{
                        "UserId,SecondName,FirstName,MiddleName,YearDoseSv,FiveYearDoseSv",
                        "1,\"O\"\"Brien, Jr\",Pat,,2.000000000e-03,1.200000000e-02", // 2021 to 2025
                        "2,Nobody,Without,Events,0.000000000e+00,0.000000000e+00",
                        "3,Ivanov,Ivan,I,4.000000000e-03,4.000000000e-03", ""}));

    tool.start(QStringLiteral(VX_DOSES_TOOL), {"--db", db.path(), "--year", "2021"});
    QVERIFY(tool.waitForFinished(30000));
    QVERIFY(QString::fromUtf8(tool.readAllStandardOutput())
                .contains("\n1,\"O\"\"Brien, Jr\",Pat,,1.000000000e-02,1.000000000e-02\n"));
  }

  void theToolTellsWhatItCannotRead() {
    for (const QStringList &args : {QStringList{"--db", "/nonexistent/x.db", "--year", "2025"},
                                    QStringList{"--db", "x.db"}, QStringList{"--year", "20x5"}}) {
      QProcess tool;
      tool.start(QStringLiteral(VX_DOSES_TOOL), args);
      QVERIFY(tool.waitForFinished(30000));
      QCOMPARE(tool.exitCode(), 2);
      const QString err = QString::fromUtf8(tool.readAllStandardError());
      QVERIFY2(err.startsWith("vx4418-doses: ") && err.count(u'\n') == 1, qPrintable(err));
      QVERIFY(tool.readAllStandardOutput().isEmpty());
    }
  }
};

QTEST_GUILESS_MAIN(TstDoses)
#include "tst_doses.moc"
