#include "history/HistoryFilter.h"
#include "link/ParamsForm.h"

#include <limits>
#include <utility>

namespace {
// The codes each event box stands for, in the order of FilterEvent.
constexpr std::array<std::array<int, 2>, FilterEventCount> EventCodes{
    {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 6}, {7, 0}, {8, 0}, {9, 0}}};
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

HistoryCriteria BuildHistoryCriteria(const HistoryFilterChoice &choice) {
  HistoryCriteria criteria;
  if (choice.OnDateTime)
    criteria.Interval =
        FilterDateInterval(choice.DateFrom, choice.TimeFrom, choice.DateTo, choice.TimeTo);
  if (choice.OnDevice)
    criteria.DeviceId = ParseDeviceNumber(choice.DeviceText);
  if (choice.OnEvent)
    for (int i = 0; i < FilterEventCount; ++i)
      if (choice.Events[std::size_t(i)])
        for (int code : EventCodes[std::size_t(i)])
          if (code != 0)
            criteria.EventTypes << code;
  return criteria;
}
