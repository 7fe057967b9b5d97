#include "history/DoseTotals.h"

#include <algorithm>
#include <cmath>

#include "history/DayCount.h"

QList<DoseIncrement> DoseIncrements(QList<DoseEvent> events) {
  // Rows without a usable time or DE take no part.
  events.removeIf([](const DoseEvent &e) {
    return !std::isfinite(e.Time) || !std::isfinite(e.DE) || e.DE < 0;
  });
  std::sort(events.begin(), events.end(), [](const DoseEvent &a, const DoseEvent &b) {
    if (a.DeviceId != b.DeviceId)
      return a.DeviceId < b.DeviceId; // no instrument first
    if (a.Time != b.Time)
      return a.Time < b.Time;
    return a.DE < b.DE;
  });
  QList<DoseIncrement> increments;
  increments.reserve(events.size());
  for (qsizetype i = 0; i < events.size(); ++i) {
    const DoseEvent &e = events[i];
    const bool first = i == 0 || events[i - 1].DeviceId != e.DeviceId;
    const double before = first ? 0.0 : events[i - 1].DE;
    increments.append({e.UserId, e.Time, e.DE >= before ? e.DE - before : e.DE});
  }
  return increments;
}

namespace {
double StartOfYear(int year) {
  return DateTimeToDayCount(QDateTime(QDate(year, 1, 1), QTime(0, 0)));
}
} // namespace

DosePeriod CalendarYear(int year) {
  return {StartOfYear(year), StartOfYear(year + 1)};
}

DosePeriod FiveYears(int lastYear) {
  return {StartOfYear(lastYear - 4), StartOfYear(lastYear + 1)};
}

DosePeriod Last12Months(const QDateTime &now) {
  const double end = DateTimeToDayCount(now);
  // "now" itself belongs to the period: the end is the next representable time.
  return {DateTimeToDayCount(now.addMonths(-12)), std::nextafter(end, end + 1)};
}

QHash<qint32, double> DosePerPerson(const QList<DoseIncrement> &increments,
                                    const DosePeriod &period) {
  QHash<qint32, double> dose;
  for (const DoseIncrement &i : increments)
    if (period.Contains(i.Time))
      dose[i.UserId] += i.Dose;
  return dose;
}
