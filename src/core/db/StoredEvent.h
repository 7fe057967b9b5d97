#pragma once
#include <QtGlobal>
#include <optional>

// One row of TableHistory as the history select reads it back. A column that
// is NULL, or that holds something other than a number of its kind (a text
// that is no number, a code that is not a whole number), reads as empty.
struct StoredEvent {
  // The instrument as stored; wider than an instrument number, so that a
  // number from another program's file is shown as it stands.
  std::optional<qint64> DeviceId;
  qint32 UserId = -1;
  std::optional<double> DateTimeEvent; // day count, see history/DayCount.h
  std::optional<int> EventType;        // 1 to 9 (HistoryEventType) or any other whole number
  std::optional<double> EventValue;    // dose rate in Sv/h, or the on/off mark of code 4
  std::optional<double> DEValue;       // accumulated dose in Sv

  bool operator==(const StoredEvent &) const = default;
};

// The dose rate an event shows: EventValue of a gamma (1) or time (7) alarm
// when it is 0 or more.
inline std::optional<double> ShownRate(const StoredEvent &e) {
  if ((e.EventType == 1 || e.EventType == 7) && e.EventValue && *e.EventValue >= 0)
    return e.EventValue;
  return std::nullopt;
}

// The accumulated dose an event shows: DEValue of a time (7) or dose (8)
// alarm when it is 0 or more.
inline std::optional<double> ShownDose(const StoredEvent &e) {
  if ((e.EventType == 7 || e.EventType == 8) && e.DEValue && *e.DEValue >= 0)
    return e.DEValue;
  return std::nullopt;
}
