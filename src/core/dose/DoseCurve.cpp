#include "dose/DoseCurve.h"

#include <algorithm>

#include "db/HistoryStore.h"

DoseCurve DoseCurveOf(const QList<DoseIncrement> &increments, const QList<StoredEvent> &history,
                      qint32 userId, const DosePeriod &period) {
  QList<DoseIncrement> own;
  for (const DoseIncrement &i : increments)
    if (i.UserId == userId && period.Contains(i.Time))
      own.append(i);
  std::stable_sort(own.begin(), own.end(),
                   [](const DoseIncrement &a, const DoseIncrement &b) { return a.Time < b.Time; });
  DoseCurve curve;
  curve.points.reserve(own.size());
  double sum = 0;
  for (const DoseIncrement &i : own) {
    sum += i.Dose;
    curve.points.append({i.Time, sum});
  }
  for (const StoredEvent &e : history) {
    const std::optional<double> rate = ShownRate(e);
    if (!rate || !e.DateTimeEvent || !period.Contains(*e.DateTimeEvent))
      continue;
    // The dose at the alarm: the last point at or before it.
    const auto after =
        std::upper_bound(curve.points.cbegin(), curve.points.cend(), *e.DateTimeEvent,
                         [](double t, const DoseCurve::Point &p) { return t < p.Time; });
    const double dose = after == curve.points.cbegin() ? 0 : std::prev(after)->Dose;
    curve.alarms.append({*e.DateTimeEvent, *rate, dose});
  }
  std::stable_sort(
      curve.alarms.begin(), curve.alarms.end(),
      [](const DoseCurve::Alarm &a, const DoseCurve::Alarm &b) { return a.Time < b.Time; });
  return curve;
}

std::optional<DoseCurve> PersonDoseCurve(HistoryStore &history, qint32 userId,
                                         const DosePeriod &period) {
  const std::optional<QList<DoseEvent>> events = history.DoseEventsAround(userId);
  const std::optional<QList<StoredEvent>> own =
      events ? history.UserHistory(userId, HistoryCriteria{}) : std::nullopt;
  if (!own)
    return std::nullopt;
  return DoseCurveOf(DoseIncrements(*events), *own, userId, period);
}
