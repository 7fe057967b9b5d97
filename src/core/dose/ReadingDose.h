#pragma once
#include <QDateTime>
#include <QList>
#include <QStringList>
#include <optional>

#include "dose/DoseLimits.h"
#include "history/DoseTotals.h"

class HistoryStore;
class TextTable;

// A level that one reading took a person over.
struct LevelCrossed {
  enum class Level { Investigation, Annual, FiveYear } level;
  double Dose = 0;  // Sv: the person's dose of the level's period, this reading included
  double Limit = 0; // Sv
};

// What one reading added to its holder's dose.
struct ReadingDose {
  qint32 UserId = -1;
  double Reading = 0;          // Sv: the increments of the events this reading filed
  double Year = 0;             // Sv: the holder's dose this calendar year, the reading included
  double FiveYears = 0;        // Sv: the five calendar years ending with this one
  QList<LevelCrossed> crossed; // the levels below or at which the holder was before it
};

// The dose of a reading from the events around its holder as they are now
// stored (its own among them) and the events it filed. Its events are the
// last ones of its instrument; without them the holder's doses are what they
// were before it.
ReadingDose DoseOfReading(const QList<DoseEvent> &stored, const QList<DoseEvent> &filed,
                          qint32 userId, const QDateTime &now, const DoseLimits &limits);

// "Dose of this reading: ... Dose of <person> this year: ...", in the unit of
// the settings.
QString ReadingDoseText(const ReadingDose &dose, const QString &person, const TextTable &texts,
                        bool roentgen);
// One warning per level crossed, naming the person, the dose and the level.
QStringList LevelWarnings(const ReadingDose &dose, const QString &person, const TextTable &texts,
                          bool roentgen);

// The same, reading the events around the holder from the history; nullopt
// when it cannot be read.
std::optional<ReadingDose> ReadingDoseOf(HistoryStore &history, const QList<DoseEvent> &filed,
                                         qint32 userId, const QDateTime &now,
                                         const DoseLimits &limits);
