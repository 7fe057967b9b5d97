#include "history/DayCount.h"

#include <cmath>

namespace {
constexpr qint64 MsecsPerDay = 86400000;
const QDate &Epoch() {
  static const QDate epoch(1899, 12, 30);
  return epoch;
}
constexpr double MinDays = -657434.0; // 1 January 100
constexpr double MaxDays = 2958466.0; // 1 January 10000
} // namespace

double DayCountOf(QDate date, QTime time) {
  const double days = static_cast<double>(Epoch().daysTo(date));
  const double fraction =
      time.isValid() ? static_cast<double>(time.msecsSinceStartOfDay()) / MsecsPerDay : 0.0;
  return days >= 0 ? days + fraction : days - fraction;
}

double DateTimeToDayCount(const QDateTime &t) {
  return DayCountOf(t.date(), t.time());
}

QDateTime DayCountToDateTime(double days) {
  if (!std::isfinite(days) || days <= MinDays || days >= MaxDays)
    return {};
  double whole = std::trunc(days);
  qint64 ms = std::llround(std::fabs(days - whole) * MsecsPerDay);
  if (ms >= MsecsPerDay) {
    ms -= MsecsPerDay;
    whole += days >= 0 ? 1 : -1;
  }
  return QDateTime(Epoch().addDays(static_cast<qint64>(whole)),
                   QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)));
}
