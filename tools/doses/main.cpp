// vx4418-doses --db DB --year YYYY
// Writes every person of the register (people without events too), in key
// order, with their dose of the calendar year and of the five calendar years
// ending with it, as CSV to standard output (docs/DOSE.md). DB is a SQLite
// file path or a postgresql:// URI, as ADOFile in VX4418.ini. Exit status 0;
// 2, with one line on standard error, for wrong arguments or a database that
// cannot be read.
#include <QCoreApplication>
#include <QStringList>
#include <algorithm>
#include <cstdio>

#include "db/DatabaseLocation.h"
#include "db/TDM.h"
#include "dose/AnnualReport.h"
#include "export/Csv.h"
#include "history/DoseTotals.h"
#include "state/Clock.h"

namespace {
int Fail(const QString &line) {
  std::fputs(qPrintable("vx4418-doses: " + line + u'\n'), stderr);
  return 2;
}
} // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
  const QStringList args = app.arguments().mid(1);
  const qsizetype db = args.indexOf(QStringLiteral("--db")),
                  year = args.indexOf(QStringLiteral("--year"));
  bool yearOk = false;
  const int y = year >= 0 ? args.value(year + 1).toInt(&yearOk) : 0;
  if (args.size() != 4 || db < 0 || year < 0 || args.value(db + 1).isEmpty() || !yearOk ||
      y < 1900 || y > 9999)
    return Fail(QStringLiteral("usage: vx4418-doses --db DB --year YYYY"));

  const QString location = args.value(db + 1);
  TDM dm(std::make_shared<Clock>(), location);
  std::optional<QList<Person>> people = dm.Register().People();
  const std::optional<QList<DoseEvent>> events = people ? dm.History().DoseEvents() : std::nullopt;
  if (!people || !events)
    return Fail(QStringLiteral("cannot read %1: %2")
                    .arg(ShownLocation(location), dm.LastError().section(u'\n', 0, 0)));

  const QList<DoseIncrement> increments = DoseIncrements(*events);
  const QHash<qint32, double> yearDose = DosePerPerson(increments, CalendarYear(y));
  const QHash<qint32, double> fiveYearDose = DosePerPerson(increments, FiveYears(y));
  std::sort(people->begin(), people->end(),
            [](const Person &a, const Person &b) { return a.UserId < b.UserId; });
  QString out =
      QStringLiteral("UserId,SecondName,FirstName,MiddleName,YearDoseSv,FiveYearDoseSv\n");
  for (const Person &p : *people)
    out += QString::number(p.UserId) + u',' + CsvField(p.SecondName) + u',' +
           CsvField(p.FirstName) + u',' + CsvField(p.MiddleName) + u',' +
           SievertNumber(yearDose.value(p.UserId)) + u',' +
           SievertNumber(fiveYearDose.value(p.UserId)) + u'\n';
  std::fputs(out.toUtf8().constData(), stdout);
  return 0;
}
