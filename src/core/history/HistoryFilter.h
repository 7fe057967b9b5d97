#pragma once
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <array>
#include <optional>

// The history filter's choices turned into what the history select uses: an
// extra WHERE fragment (empty, or starting with " AND") and, when the date
// condition is part of it, the interval bound to :DTEB and :DTEE.

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
};

struct BuiltHistoryFilter {
  QString FilterClause;
  // Set exactly when FilterClause holds the date condition.
  std::optional<FilterInterval> Interval;
};

// The instrument number in an operator's text: optional blanks around an
// optional sign and ASCII decimal digits, within 32 bits. Anything else
// (letters, blanks inside, other digit sets, a value beyond 32 bits) has none.
std::optional<qint32> ParseDeviceNumber(const QString &text);

// The whole days of the dates with the times of day of the times; the earlier
// of the two points is the begin.
FilterInterval FilterDateInterval(QDate dateFrom, QTime timeFrom, QDate dateTo, QTime timeTo);

// The fragment for the choices: the date condition, the instrument condition
// (left out when the text holds no instrument number) and the event condition
// (left out when no event box is ticked), in this order. Only fixed texts and
// the decimal form of a parsed number ever go into it.
BuiltHistoryFilter BuildHistoryFilter(const HistoryFilterChoice &choice);
