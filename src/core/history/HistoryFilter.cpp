#include "history/HistoryFilter.h"

#include <limits>
#include <utility>

namespace {

// The first form opens the bracket of the event condition; later ticked
// boxes continue it.
struct EventCondition {
  const char *first;
  const char *continuation;
};

constexpr std::array<EventCondition, FilterEventCount> EventConditions{{
    {" AND (EventType = 1 ", " OR EventType = 1 "},
    {" AND (EventType = 2 ", " OR EventType = 2 "},
    {" AND (EventType = 3 ", " OR EventType = 3 "},
    {" AND (EventType = 4 ", " OR EventType = 4 "},
    {" AND (EventType = 5 OR  EventType = 6 ", " OR EventType = 5 OR  EventType = 6"},
    {" AND (EventType = 7 ", " OR EventType = 7 "},
    {" AND (EventType = 8 ", " OR EventType = 8 "},
    {" AND (EventType = 9 ", " OR EventType = 9 "},
}};

bool IsAsciiDigit(QChar c) {
  return c >= u'0' && c <= u'9';
}

} // namespace

std::optional<qint32> ParseDeviceNumber(const QString &text) {
  const QString t = text.trimmed();
  qsizetype i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) {
    negative = t[i] == u'-';
    ++i;
  }
  if (i == t.size())
    return std::nullopt;
  // Accumulated as a magnitude; one past the largest value is the most
  // negative one.
  const qint64 limit = qint64(std::numeric_limits<qint32>::max()) + (negative ? 1 : 0);
  qint64 value = 0;
  for (; i < t.size(); ++i) {
    if (!IsAsciiDigit(t[i]))
      return std::nullopt;
    value = value * 10 + (t[i].unicode() - u'0');
    if (value > limit)
      return std::nullopt;
  }
  return qint32(negative ? -value : value);
}

FilterInterval FilterDateInterval(QDate dateFrom, QTime timeFrom, QDate dateTo, QTime timeTo) {
  FilterInterval interval{QDateTime(dateFrom, timeFrom), QDateTime(dateTo, timeTo)};
  // Compared field by field: a local time that the clocks skip still orders
  // by what the pickers show.
  if (std::pair(dateFrom, timeFrom) > std::pair(dateTo, timeTo))
    std::swap(interval.Begin, interval.End);
  return interval;
}

BuiltHistoryFilter BuildHistoryFilter(const HistoryFilterChoice &choice) {
  BuiltHistoryFilter built;
  QString &clause = built.FilterClause;
  if (choice.OnDateTime) {
    built.Interval =
        FilterDateInterval(choice.DateFrom, choice.TimeFrom, choice.DateTo, choice.TimeTo);
    clause = QStringLiteral(" AND (DateTimeEvent BETWEEN :DTEB AND :DTEE) ");
  }
  if (choice.OnDevice) {
    if (const std::optional<qint32> device = ParseDeviceNumber(choice.DeviceText))
      clause += QStringLiteral(" AND DeviceId = ") + QString::number(*device);
  }
  if (choice.OnEvent) {
    bool any = false;
    for (int i = 0; i < FilterEventCount; ++i) {
      if (!choice.Events[std::size_t(i)])
        continue;
      const EventCondition &c = EventConditions[std::size_t(i)];
      clause += QLatin1String(any ? c.continuation : c.first);
      any = true;
    }
    if (any)
      clause += QStringLiteral(" )");
  }
  return built;
}
