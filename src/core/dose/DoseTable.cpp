#include "dose/DoseTable.h"

#include "db/TDM.h"

QList<PersonDose> DosesOfPeople(const QList<Person> &people, const QList<DoseIncrement> &increments,
                                const QHash<qint32, PersonActivity> &activity, int year,
                                const QDateTime &now, const DoseLimits &limits) {
  const QHash<qint32, double> inYear = DosePerPerson(increments, CalendarYear(year)),
                              inFive = DosePerPerson(increments, FiveYears(year)),
                              inLast = DosePerPerson(increments, Last12Months(now));
  QList<PersonDose> rows;
  rows.reserve(people.size());
  for (const Person &p : people) {
    PersonDose d;
    d.person = p;
    d.Year = inYear.value(p.UserId);
    d.Last12Months = inLast.value(p.UserId);
    d.FiveYears = inFive.value(p.UserId);
    d.activity = activity.value(p.UserId);
    d.mark = MarkOf(d.Year, d.FiveYears, limits);
    rows.append(d);
  }
  return rows;
}

DoseTable WorkOutDoseTable(TDM &dm, int year, const QDateTime &now, const DoseLimits &limits) {
  DoseTable table;
  table.Year = year;
  const std::optional<QList<Person>> people = dm.Register().People();
  const std::optional<QList<DoseEvent>> events = people ? dm.History().DoseEvents() : std::nullopt;
  const std::optional<QHash<qint32, PersonActivity>> activity =
      events ? dm.History().ActivityIn(CalendarYear(year)) : std::nullopt;
  if (!activity) {
    table.error = dm.LastError();
    return table;
  }
  table.rows = DosesOfPeople(*people, DoseIncrements(*events), *activity, year, now, limits);
  table.ok = true;
  return table;
}

QString PersonName(const Person &p) {
  return QStringList{p.SecondName, p.FirstName, p.MiddleName}.join(u' ').simplified();
}
