#pragma once
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QTime>
#include <array>
#include <optional>

// The history filter's choices turned into the criteria the history select
// narrows a person's events by: an interval, an instrument and event codes.

// The event boxes in the order their conditions are written.
enum class FilterEvent {
  GammaAlarm,      // code 1
  PhosphorumAlarm, // code 2
  ArseniumAlarm,   // code 3
  DeviceOnOff,     // code 4
  ReceiveHand,     // codes 5 and 6
  TimeAlarm,       // code 7
  DoseAlarm,       // code 8
  BatteryOff,      // code 9
};
inline constexpr int FilterEventCount = 8;

// What the operator chose in the filter window.
struct HistoryFilterChoice {
  bool OnDateTime = false;
  QDate DateFrom;
  QTime TimeFrom;
  QDate DateTo;
  QTime TimeTo;

  bool OnDevice = false;
  QString DeviceText; // as typed or chosen; see ParseDeviceNumber

  bool OnEvent = false;
  std::array<bool, FilterEventCount> Events{}; // indexed by FilterEvent

  bool &Event(FilterEvent e) { return Events[std::size_t(e)]; }
};

struct FilterInterval {
  QDateTime Begin;
  QDateTime End;
  bool operator==(const FilterInterval &) const = default;
};

// What the history select narrows a person's events by; each part left out
// narrows nothing.
struct HistoryCriteria {
  std::optional<FilterInterval> Interval; // events in it, both ends included
  std::optional<qint32> DeviceId;         // events of this instrument
  QList<int> EventTypes;                  // events of these codes; empty: any code

  bool IsEmpty() const { return !Interval && !DeviceId && EventTypes.isEmpty(); }
  bool operator==(const HistoryCriteria &) const = default;
};

// The instrument number in an operator's text: optional blanks around an
// optional sign and ASCII decimal digits, within 32 bits. Anything else
// (letters, blanks inside, other digit sets, a value beyond 32 bits) has none.
std::optional<qint32> ParseDeviceNumber(const QString &text);

// The whole days of the dates with the times of day of the times; the earlier
// of the two points is the begin.
FilterInterval FilterDateInterval(QDate dateFrom, QTime timeFrom, QDate dateTo, QTime timeTo);

// The criteria of the choices: the interval while the date switch is on, the
// instrument while its switch is on and the text holds a number, the codes of
// the ticked boxes while the event switch is on (the receive/hand box stands
// for codes 5 and 6).
HistoryCriteria BuildHistoryCriteria(const HistoryFilterChoice &choice);
