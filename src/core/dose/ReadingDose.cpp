#include "dose/ReadingDose.h"

#include <algorithm>

#include "db/HistoryStore.h"
#include "history/DoseFormat.h"
#include "lang/TextTable.h"

namespace {
struct Totals {
  double all = 0, year = 0, five = 0;
};

Totals TotalsOf(const QList<DoseEvent> &events, qint32 userId, const QDateTime &now) {
  const DosePeriod year = CalendarYear(now.date().year()), five = FiveYears(now.date().year());
  Totals t;
  for (const DoseIncrement &i : DoseIncrements(events)) {
    if (i.UserId != userId)
      continue;
    t.all += i.Dose;
    t.year += year.Contains(i.Time) ? i.Dose : 0;
    t.five += five.Contains(i.Time) ? i.Dose : 0;
  }
  return t;
}

bool SameEvent(const DoseEvent &a, const DoseEvent &b) {
  return a.DeviceId == b.DeviceId && a.UserId == b.UserId && a.Time == b.Time && a.DE == b.DE;
}
} // namespace

ReadingDose DoseOfReading(const QList<DoseEvent> &stored, const QList<DoseEvent> &filed,
                          qint32 userId, const QDateTime &now, const DoseLimits &limits) {
  // Before the reading: what is stored without one copy of each filed event.
  QList<DoseEvent> before = stored;
  for (const DoseEvent &f : filed) {
    const auto at = std::find_if(before.rbegin(), before.rend(),
                                 [&](const DoseEvent &e) { return SameEvent(e, f); });
    if (at != before.rend())
      before.erase(std::next(at).base());
  }
  const Totals was = TotalsOf(before, userId, now), is = TotalsOf(stored, userId, now);
  ReadingDose r;
  r.UserId = userId;
  r.Reading = std::max(0.0, is.all - was.all);
  r.Year = is.year;
  r.FiveYears = is.five;
  auto check = [&](LevelCrossed::Level level, double before, double after, double limit) {
    if (before <= limit && after > limit)
      r.crossed.append({level, after, limit});
  };
  check(LevelCrossed::Level::Investigation, was.year, is.year, limits.InvestigationLevel);
  check(LevelCrossed::Level::Annual, was.year, is.year, limits.AnnualLimit);
  check(LevelCrossed::Level::FiveYear, was.five, is.five, limits.FiveYearLimit);
  return r;
}

QString ReadingDoseText(const ReadingDose &dose, const QString &person, const TextTable &texts,
                        bool roentgen) {
  return texts.text(ProgramText::ReadingDose)
      .arg(FormatDose(dose.Reading, roentgen, false, texts), person,
           FormatDose(dose.Year, roentgen, false, texts));
}

QStringList LevelWarnings(const ReadingDose &dose, const QString &person, const TextTable &texts,
                          bool roentgen) {
  QStringList warnings;
  for (const LevelCrossed &c : dose.crossed) {
    const ProgramText text =
        c.level == LevelCrossed::Level::Investigation ? ProgramText::OverInvestigationLevel
        : c.level == LevelCrossed::Level::Annual      ? ProgramText::OverAnnualLimit
                                                      : ProgramText::OverFiveYearLimit;
    warnings << texts.text(text).arg(person, FormatDose(c.Dose, roentgen, false, texts),
                                     FormatDose(c.Limit, roentgen, false, texts));
  }
  return warnings;
}

std::optional<ReadingDose> ReadingDoseOf(HistoryStore &history, const QList<DoseEvent> &filed,
                                         qint32 userId, const QDateTime &now,
                                         const DoseLimits &limits) {
  const std::optional<QList<DoseEvent>> stored = history.DoseEventsAround(userId);
  if (!stored)
    return std::nullopt;
  return DoseOfReading(*stored, filed, userId, now, limits);
}
