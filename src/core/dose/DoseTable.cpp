#include "dose/DoseTable.h"

#include "db/TDM.h"

QList<PersonDose> DosesOfPeople(const QList<Person> &people, const QList<DoseIncrement> &increments,
                                const QHash<qint32, PersonActivity> &activity, int year,
                                const QDateTime &now, const DoseLimits &limits) {
  const DosePeriod y = CalendarYear(year), five = FiveYears(year), last = Last12Months(now);
  // One walk over the increments for the three periods.
  QHash<qint32, std::array<double, 3>> sums;
  for (const DoseIncrement &i : increments) {
    const bool inYear = y.Contains(i.Time), inFive = five.Contains(i.Time),
               inLast = last.Contains(i.Time);
    if (!inYear && !inFive && !inLast)
      continue;
    std::array<double, 3> &s = sums[i.UserId];
    s[0] += inYear ? i.Dose : 0;
    s[1] += inLast ? i.Dose : 0;
    s[2] += inFive ? i.Dose : 0;
  }
  QList<PersonDose> rows;
  rows.reserve(people.size());
  for (const Person &p : people) {
    PersonDose d;
    d.person = p;
    const std::array<double, 3> s = sums.value(p.UserId, {0, 0, 0});
    d.Year = s[0];
    d.Last12Months = s[1];
    d.FiveYears = s[2];
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
