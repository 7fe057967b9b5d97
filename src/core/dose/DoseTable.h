#pragma once
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <optional>

#include "db/Person.h"
#include "dose/DoseLimits.h"
#include "dose/PersonActivity.h"
#include "history/DoseTotals.h"

class TDM;

// One row of the Doses view and of the annual report.
struct PersonDose {
  Person person;
  double Year = 0;         // Sv, the chosen calendar year
  double Last12Months = 0; // Sv, up to now
  double FiveYears = 0;    // Sv, the five calendar years ending with the chosen one
  PersonActivity activity;
  DoseMark mark = DoseMark::None;
};

// The rows of every person of the register (people without events too), in
// the order given, from the increments of the whole history.
QList<PersonDose> DosesOfPeople(const QList<Person> &people, const QList<DoseIncrement> &increments,
                                const QHash<qint32, PersonActivity> &activity, int year,
                                const QDateTime &now, const DoseLimits &limits);

// The Doses view's table of a year, read from the program's database.
struct DoseTable {
  bool ok = false;
  QString error; // the database's reason when not ok
  int Year = 0;
  QList<PersonDose> rows; // in the register's order
};
DoseTable WorkOutDoseTable(TDM &dm, int year, const QDateTime &now, const DoseLimits &limits);

// "Second First Middle", as the lists show a person.
QString PersonName(const Person &p);
