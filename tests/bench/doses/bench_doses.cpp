// Each person's dose of a year, 10,000 people and 1,000,000 events:
//  - through the program (the history's dose events and the rule in core),
//    against one hand-written query computing the same totals with window
//    functions, on SQLite and on the PostgreSQL server that libpq's
//    environment names (scripts/bench.sh starts one with pg_virtualenv);
//  - the chart of a person with 100,000 events, built and drawn.
#include "LargeProgramFolder.h"
#include "WindowBenchmarks.h"
#include "db/DatabaseAdmin.h"
#include "db/TDM.h"
#include "dose/DoseChart.h"
#include "dose/DoseCurve.h"
#include "history/DayCount.h"
#include "lang/TextTable.h"
#include "main/Program.h"
#include "state/Clock.h"

#include <QChart>
#include <QChartView>
#include <QImage>
#include <QPainter>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <benchmark/benchmark.h>
#include <cstdlib>

namespace {

constexpr int kPeople = 10000;
constexpr int kEvents = 1000000;
constexpr int kYear = 2024; // the events run from 2023 into 2029

// Five thousand instruments handed round, doses that grow and sometimes drop.
const char *const kEventsSelect =
    "SELECT 1000000+(i%5000), 1+((i/7)%10000), 44927+i/400.0, 8, 0.0001, 0.00001*(i%97)";

// The year's totals as one statement: each instrument's rows in time order
// (the smaller dose first), increments by the rule, summed per person.
const QString kWindowQuery = QStringLiteral(
    "SELECT UserId, SUM(CASE WHEN prev IS NULL THEN DEValue WHEN DEValue >= prev "
    "THEN DEValue - prev ELSE DEValue END) FROM (SELECT UserId, DateTimeEvent, DEValue, "
    "LAG(DEValue) OVER (PARTITION BY DeviceId ORDER BY DateTimeEvent, DEValue) AS prev "
    "FROM TableHistory WHERE DateTimeEvent IS NOT NULL AND DEValue >= 0) t "
    "WHERE DateTimeEvent >= %1 AND DateTimeEvent < %2 GROUP BY UserId");

const ProgramFolder &SqliteFolder() {
  static auto folder = FilledProgramFolder(
      InsertUsers(kPeople) +
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<" +
      QByteArray::number(kEvents) +
      ") INSERT INTO TableHistory (DeviceId, UserId, DateTimeEvent, EventType, EventValue, "
      "DEValue) " +
      kEventsSelect + " FROM n;");
  return *folder;
}

// The same database on the server, made once; empty when there is no server.
QString ServerLocation() {
  static const QString location = [] {
    const QString name = QStringLiteral("vxbench_doses");
    {
      QSqlDatabase admin = QSqlDatabase::addDatabase("QPSQL", "admin");
      if (!admin.open())
        return QString();
      QSqlQuery(admin).exec("DROP DATABASE IF EXISTS " + name);
      QSqlQuery(admin).exec("CREATE DATABASE " + name);
    }
    QSqlDatabase::removeDatabase("admin");
    const QString uri = "postgresql:///" + name;
    if (InitServerDatabase(uri).outcome != AdminResult::Outcome::Done)
      return QString();
    {
      QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", "fill");
      db.setDatabaseName(name);
      if (!db.open())
        return QString();
      QSqlQuery q(db);
      q.exec("INSERT INTO TableUser (UserSecondName, UserFirstName, UserMiddleName, DeviceId) "
             "SELECT 'Second'||i, 'First'||i, 'Middle'||i, -1 FROM generate_series(1, " +
             QString::number(kPeople) + ") i");
      q.exec("INSERT INTO TableHistory (DeviceId, UserId, DateTimeEvent, EventType, EventValue, "
             "DEValue) " +
             QString::fromLatin1(kEventsSelect) + " FROM generate_series(1, " +
             QString::number(kEvents) + ") i");
      q.exec("ANALYZE");
    }
    QSqlDatabase::removeDatabase("fill");
    return uri;
  }();
  return location;
}

QString Location(int engine) {
  return engine == 0 ? SqliteFolder().databasePath() : ServerLocation();
}

void ProgramYearTotals(benchmark::State &st) {
  const QString location = Location(int(st.range(0)));
  if (location.isEmpty()) {
    st.SkipWithError("no database server");
    return;
  }
  TDM dm(std::make_shared<Clock>(), location);
  double sum = 0;
  for (auto _ : st) {
    const std::optional<QList<DoseEvent>> events = dm.History().DoseEvents();
    if (!events) {
      st.SkipWithError("dose events not read");
      return;
    }
    const QHash<qint32, double> dose = DosePerPerson(DoseIncrements(*events), CalendarYear(kYear));
    sum = 0;
    for (double d : dose)
      sum += d;
    benchmark::DoNotOptimize(sum);
  }
  st.counters["sum_Sv"] = sum;
}
BENCHMARK(ProgramYearTotals)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

void WindowQueryYearTotals(benchmark::State &st) {
  const QString location = Location(int(st.range(0)));
  if (location.isEmpty()) {
    st.SkipWithError("no database server");
    return;
  }
  QSqlDatabase db = QSqlDatabase::addDatabase(st.range(0) == 0 ? "QSQLITE" : "QPSQL", "window");
  db.setDatabaseName(st.range(0) == 0 ? location : QStringLiteral("vxbench_doses"));
  if (!db.open()) {
    st.SkipWithError("cannot open");
    return;
  }
  const DosePeriod year = CalendarYear(kYear);
  const QString text = kWindowQuery.arg(year.Begin, 0, 'g', 17).arg(year.End, 0, 'g', 17);
  double sum = 0;
  for (auto _ : st) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(text)) {
      st.SkipWithError("query failed");
      return;
    }
    sum = 0;
    while (q.next())
      sum += q.value(1).toDouble();
    benchmark::DoNotOptimize(sum);
  }
  st.counters["sum_Sv"] = sum;
  db = QSqlDatabase();
  QSqlDatabase::removeDatabase("window");
}
BENCHMARK(WindowQueryYearTotals)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

// A person's year of events (1,000 and 100,000): the curve's chart built and
// drawn in a window of the chart's size.
void DoseChart(benchmark::State &st) {
  const int events = int(st.range(0));
  DoseCurve curve;
  const DosePeriod period = CalendarYear(kYear);
  for (int i = 0; i < events; ++i) {
    const double t = period.Begin + (period.End - period.Begin) * i / events;
    curve.points.append({t, 1e-7 * i});
    if (i % 1000 == 0)
      curve.alarms.append({t, 1e-4, 1e-7 * i});
  }
  TextTable texts;
  QImage image(860, 520, QImage::Format_ARGB32_Premultiplied);
  for (auto _ : st) {
    QChartView view(BuildDoseChart(curve, period, DoseLimits{}, texts, false, "Person"));
    view.resize(image.size());
    QPainter painter(&image);
    view.render(&painter);
  }
  st.counters["points"] = double(curve.points.size());
}
BENCHMARK(DoseChart)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv) {
  return RunWindowBenchmarks(argc, argv);
}
