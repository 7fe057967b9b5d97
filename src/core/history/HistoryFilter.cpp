#include "history/HistoryFilter.h"
#include "link/ParamsForm.h"

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

} // namespace

std::optional<qint32> ParseDeviceNumber(const QString &text) {
  // The reader saturates at the 64-bit limits, so any longer digit run is
  // out of range here as well.
  const std::optional<std::int64_t> value = ReadInteger(text);
  if (!value || *value < std::numeric_limits<qint32>::min() ||
      *value > std::numeric_limits<qint32>::max())
    return std::nullopt;
  return qint32(*value);
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
