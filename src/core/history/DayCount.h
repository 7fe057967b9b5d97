#pragma once
#include <QDate>
#include <QDateTime>
#include <QTime>

// Date-times as the database stores them: a day count since 30 December 1899
// with the time of day as the fraction. Times are wall-clock local times with
// no time zone; a negative count keeps its time of day as a positive fraction
// (-1.25 is 29 December 1899 06:00). Conversions are exact to the millisecond.

double DayCountOf(QDate date, QTime time);
double DateTimeToDayCount(const QDateTime &t);

// Local time: a time that the clocks skip at the start of daylight saving
// gives a QDateTime that is not valid but whose date() and time() hold the
// fields, so format such values from date() and time().
// An invalid QDateTime (null date) for a count that is not finite or lies outside the
// years 100 to 9999.
QDateTime DayCountToDateTime(double days);
