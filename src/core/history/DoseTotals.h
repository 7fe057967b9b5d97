#pragma once
#include <QDateTime>
#include <QHash>
#include <QList>
#include <optional>

// What a person received, worked out from the accumulated dose (DE) that
// every stored event carries (docs/DOSE.md):
//  - every event with a time and a DE of 0 or more belongs to the timeline of
//    its instrument, across all people; the others take no part;
//  - each instrument's events are walked in time order, at the same time the
//    smaller DE first; an event's increment is DE minus the DE before it when
//    DE did not drop, and DE itself when it dropped (the instrument's dose
//    was cleared in between); the first event of an instrument counts from 0;
//  - the increment belongs to the person the event is filed under and to the
//    period its time falls in.
// So a hand-over without clearing gives the new holder only what they
// received, a reading filed twice adds nothing, a cleared dose starts at 0.

// One stored event as the rule needs it.
struct DoseEvent {
  std::optional<qint64> DeviceId; // events without an instrument make one timeline
  qint32 UserId = -1;
  double Time = 0; // day count, see history/DayCount.h
  double DE = 0;   // accumulated dose, Sv
};

// One event's share of dose.
struct DoseIncrement {
  qint32 UserId = -1;
  double Time = 0;
  double Dose = 0; // Sv, 0 or more
};

// The increments of every event, instrument by instrument, each in time order.
QList<DoseIncrement> DoseIncrements(QList<DoseEvent> events);

// A period of time as day counts: from Begin (included) to End (excluded).
struct DosePeriod {
  double Begin = 0;
  double End = 0;
  bool Contains(double time) const { return time >= Begin && time < End; }
};

// The calendar year; the five calendar years ending with `lastYear`; the 12
// months up to `now` (now included).
DosePeriod CalendarYear(int year);
DosePeriod FiveYears(int lastYear);
DosePeriod Last12Months(const QDateTime &now);

// Each person's dose in the period: the sum of their increments in it.
// People without any increment in it are not in the result.
QHash<qint32, double> DosePerPerson(const QList<DoseIncrement> &increments,
                                    const DosePeriod &period);
