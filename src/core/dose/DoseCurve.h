#pragma once
#include <QList>
#include <optional>

#include "db/StoredEvent.h"
#include "history/DoseTotals.h"

class HistoryStore;

// A person's dose over a period, for the chart.
struct DoseCurve {
  struct Point {
    double Time = 0; // day count
    double Dose = 0; // Sv received since the period began, this event included
  };
  struct Alarm {
    double Time = 0;
    double Rate = 0; // Sv/h
    double Dose = 0; // Sv received since the period began, at the alarm
  };
  QList<Point> points; // one per event with dose, in time order
  QList<Alarm> alarms; // gamma and time alarms, in time order
  double Total() const { return points.isEmpty() ? 0 : points.back().Dose; }
};

// The curve of a person from the increments (of all people) and the person's
// own events.
DoseCurve DoseCurveOf(const QList<DoseIncrement> &increments, const QList<StoredEvent> &history,
                      qint32 userId, const DosePeriod &period);

// The same, read from the history; nullopt when it cannot be read.
std::optional<DoseCurve> PersonDoseCurve(HistoryStore &history, qint32 userId,
                                         const DosePeriod &period);
