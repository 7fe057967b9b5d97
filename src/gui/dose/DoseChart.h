#pragma once
#include <QString>
#include <limits>

#include "dose/DoseCurve.h"
#include "dose/DoseLimits.h"

class QChart;
class TextTable;

// The chart of a person's dose over a period: the dose received since the
// period began, the dose-rate alarms as points on it, the investigation level
// and the annual limit as lines; doses in mSv (mR in roentgen).
QChart *BuildDoseChart(const DoseCurve &curve, const DosePeriod &period, const DoseLimits &limits,
                       const TextTable &texts, bool roentgen, const QString &person);

// Milliseconds since 1970 (local time) of a day count, as a date axis wants
// them; the days' midnights are worked out once each.
class DayCountAxisTime {
public:
  qint64 operator()(double dayCount);

private:
  qint64 day_ = std::numeric_limits<qint64>::min();
  qint64 midnight_ = 0;
};
