// Each person's dose per period from the accumulated doses of the stored
// events (docs/DOSE.md), and vx4418-doses writing it as CSV.
#include <QProcess>
#include <QtTest>

#include "HistoryTestDb.h"
#include "db/TDM.h"
#include "dose/AnnualReport.h"
#include "dose/DoseCurve.h"
#include "dose/DoseTable.h"
#include "dose/ReadingDose.h"
#include "export/Csv.h"
#include "history/DayCount.h"
#include "history/DoseFormat.h"
#include "history/DoseTotals.h"
#include "lang/TextTable.h"
#include "state/Clock.h"

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

// An event row of any code: instrument, person, time, code, rate, dose.
bool AddEvent(HistoryTestDb &db, int device, int user, double time, int code, double rate,
              const QString &de) {
  return db.exec(QStringLiteral("INSERT INTO TableHistory VALUES (%1, %2, %3, %4, %5, %6)")
                     .arg(device)
                     .arg(user)
                     .arg(time, 0, 'g', 17)
                     .arg(code)
                     .arg(rate, 0, 'g', 17)
                     .arg(de));
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

  // The Doses view's rows from the database: the three periods, the year's
  // alarms and highest rate, the latest reading and the marks.
  void theDoseTableHoldsEveryPerson() {
    HistoryTestDb db;
    QVERIFY(db.ok());
    QVERIFY(db.exec("INSERT INTO TableUser VALUES (1, 'Petrov', 'Petr', NULL, 7)"));
    QVERIFY(db.exec("INSERT INTO TableUser VALUES (2, 'Sidorov', 'Ivan', 'I', 8)"));
    QVERIFY(db.exec("INSERT INTO TableUser VALUES (3, 'Nobody', 'Without', 'Events', -1)"));
    QVERIFY(AddEvent(db, 7, 1, At(2021, 3, 1), 8, 0, "0.030"));       // five years back
    QVERIFY(AddEvent(db, 7, 1, At(2024, 9, 1), 1, 2e-4, "0.032"));    // 12 months, not the year
    QVERIFY(AddEvent(db, 7, 1, At(2025, 1, 1, 0), 1, 5e-4, "0.040")); // midnight: this year
    QVERIFY(AddEvent(db, 7, 1, At(2025, 2, 1), 7, 9e-4, "0.045"));
    QVERIFY(AddEvent(db, 7, 1, At(2025, 3, 1), 5, 0, "NULL")); // registration: no reading
    QVERIFY(AddEvent(db, 8, 2, At(2025, 4, 1), 4, 1, "0.007"));
    const QDateTime now(QDate(2025, 6, 30), QTime(12, 0));
    TDM dm(std::make_shared<Clock>(), db.path());
    const DoseTable t = WorkOutDoseTable(dm, 2025, now, DoseLimits{});
    QVERIFY2(t.ok, qPrintable(t.error));
    QCOMPARE(t.rows.size(), 3);
    QHash<qint32, PersonDose> by;
    for (const PersonDose &d : t.rows)
      by[d.person.UserId] = d;
    QVERIFY(Near(by[1].Year, 0.013));
    QVERIFY(Near(by[1].Last12Months, 0.015));
    QVERIFY(Near(by[1].FiveYears, 0.045));
    QCOMPARE(by[1].activity.Alarms, 2);
    QCOMPARE(by[1].activity.HighestRate, 9e-4);
    QCOMPARE(by[1].activity.LastReading, At(2025, 2, 1));
    QCOMPARE(by[1].mark, DoseMark::OverInvestigationLevel);
    QVERIFY(Near(by[2].Year, 0.007));
    QCOMPARE(by[2].activity.Alarms, 0);
    QCOMPARE(by[2].activity.HighestRate, std::nullopt);
    QCOMPARE(by[2].mark, DoseMark::OverInvestigationLevel);
    QCOMPARE(by[3].Year, 0.0);
    QCOMPARE(by[3].activity, PersonActivity{});
    QCOMPARE(by[3].mark, DoseMark::None);
    // Tighter limits: over the five-year limit is over a limit.
    const DoseTable tight = WorkOutDoseTable(dm, 2025, now, {0.006, 0.020, 0.040});
    QCOMPARE(tight.rows[0].mark, DoseMark::OverLimit);
    // The year chosen moves the year and five-year columns, not the 12 months.
    const DoseTable before = WorkOutDoseTable(dm, 2021, now, DoseLimits{});
    QVERIFY(Near(before.rows[0].Year, 0.030));
    QVERIFY(Near(before.rows[0].Last12Months, 0.015));
    QCOMPARE(before.rows[0].activity.Alarms, 1);
  }

  // After a reading: its dose, the holder's year, and each level it took the
  // holder over, once; the same reading again crosses nothing.
  void aReadingTellsTheLevelsItCrosses() {
    HistoryTestDb db;
    QVERIFY(db.ok());
    QVERIFY(db.exec("INSERT INTO TableUser VALUES (1, 'Petrov', 'Petr', NULL, -1)"));
    QVERIFY(db.exec("INSERT INTO TableUser VALUES (2, 'Sidorov', 'Ivan', 'I', 7)"));
    // Petrov wore the instrument before, and handed it over without clearing.
    QVERIFY(AddEvent(db, 7, 1, At(2025, 1, 10), 8, 0, "0.004"));
    QVERIFY(AddEvent(db, 7, 2, At(2025, 2, 10), 8, 0, "0.005"));
    const QList<DoseEvent> filed{{7, 2, At(2025, 3, 10), 0.012}, {7, 2, At(2025, 3, 11), 0.031}};
    for (const DoseEvent &e : filed)
      QVERIFY(AddEvent(db, 7, 2, e.Time, 8, 0, QString::number(e.DE, 'g', 17)));
    const QDateTime now(QDate(2025, 3, 12), QTime(9, 0));
    TDM dm(std::make_shared<Clock>(), db.path());
    const std::optional<ReadingDose> r = ReadingDoseOf(dm.History(), filed, 2, now, DoseLimits{});
    QVERIFY(r);
    QVERIFY(Near(r->Reading, 0.026));
    QVERIFY(Near(r->Year, 0.027));
    QCOMPARE(r->crossed.size(), 2);
    QCOMPARE(r->crossed[0].level, LevelCrossed::Level::Investigation);
    QCOMPARE(r->crossed[1].level, LevelCrossed::Level::Annual);
    QVERIFY(Near(r->crossed[1].Dose, 0.027));
    QCOMPARE(r->crossed[1].Limit, 0.020);
    // Filed again, nothing new: no dose, no warning; Petrov's dose unchanged.
    const std::optional<ReadingDose> again = ReadingDoseOf(dm.History(), {}, 2, now, DoseLimits{});
    QCOMPARE(again->Reading, 0.0);
    QVERIFY(again->crossed.isEmpty());
    QVERIFY(Near(ReadingDoseOf(dm.History(), {}, 1, now, DoseLimits{})->Year, 0.004));
    // Exactly at a level is not over it.
    const ReadingDose at =
        DoseOfReading({{9, 3, At(2025, 1, 1), 0.0}, {9, 3, At(2025, 2, 1), 0.006}},
                      {{9, 3, At(2025, 2, 1), 0.006}}, 3, now, DoseLimits{});
    QVERIFY(at.crossed.isEmpty());
  }

  // The chart's curve: the person's increments summed in time order over two
  // interleaved instruments, alarms at the dose reached when they rang.
  void theCurveAddsUpBothInstruments() {
    const QList<DoseEvent> events{{1, 5, At(2025, 1, 2), 0.001}, {2, 5, At(2025, 1, 3), 0.002},
                                  {1, 5, At(2025, 1, 4), 0.004}, {2, 5, At(2025, 1, 5), 0.003},
                                  {1, 6, At(2025, 1, 6), 0.009}, {1, 5, At(2024, 12, 1), 0.0}};
    StoredEvent alarm{1, 5, At(2025, 1, 4, 13), 1, 3e-4, 0.004};
    StoredEvent other{1, 5, At(2025, 1, 4, 14), 8, 3e-4, 0.004}; // a dose alarm: no rate
    const DoseCurve c = DoseCurveOf(DoseIncrements(events), {other, alarm}, 5, CalendarYear(2025));
    QCOMPARE(c.points.size(), 4);
    const QList<double> sums{0.001, 0.003, 0.006, 0.007};
    for (int i = 0; i < 4; ++i)
      QVERIFY2(Near(c.points[i].Dose, sums[i]), qPrintable(QString::number(c.points[i].Dose)));
    QVERIFY(Near(c.Total(), 0.007));
    QCOMPARE(c.alarms.size(), 1);
    QVERIFY(Near(c.alarms[0].Dose, 0.006));
    QCOMPARE(c.alarms[0].Rate, 3e-4);
    QCOMPARE(DoseCurveOf({}, {}, 5, CalendarYear(2025)).Total(), 0.0);
  }

  // The annual report's table: names as the lists show them, shares of the
  // limits, the marks; in a file the doses are sievert numbers, as CSV fields.
  void theAnnualReportTable() {
    PersonDose a;
    a.person = {1, "O\"Brien, Jr", "Pat", "", -1, {}};
    a.Year = 0.025;
    a.FiveYears = 0.05;
    a.mark = DoseMark::OverLimit;
    PersonDose b;
    b.person = {2, "Ivanov", "Ivan", "I", 7, {}};
    TextTable texts;
    const AnnualReportTable file =
        AnnualReportOf({a, b}, DoseLimits{}, texts, false, ReportValues::Sievert);
    QCOMPARE(file.titles.size(), 6);
    QVERIFY(file.titles[1].endsWith(", Sv"));
    QCOMPARE(file.rows[0], (QStringList{"O\"Brien, Jr Pat", "2.500000000e-02", "125.0",
                                        "5.000000000e-02", "50.0", "over limit"}));
    QCOMPARE(file.rows[1][5], QString());
    QCOMPARE(CsvText({file.rows[0]}),
             "\"O\"\"Brien, Jr Pat\",2.500000000e-02,125.0,5.000000000e-02,50.0,"
             "over limit\n");
    const AnnualReportTable shown =
        AnnualReportOf({a}, DoseLimits{}, texts, false, ReportValues::Shown);
    QCOMPARE(shown.rows[0][1], FormatDose(0.025, false, false, texts));
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
