#include "main/HistoryList.h"

#include "history/DayCount.h"
#include "history/DoseFormat.h"

#include <QLocale>

namespace {

// The long time format without its time zone part.
QString TimeFormatWithoutZone(const QLocale &locale) {
  const QString f = locale.timeFormat(QLocale::LongFormat);
  QString out;
  bool quoted = false;
  for (QChar ch : f) {
    if (ch == u'\'')
      quoted = !quoted;
    if (!quoted && ch == u't')
      continue;
    out += ch;
  }
  return out.trimmed();
}

bool Listed(const StoredEvent &e) {
  return e.DateTimeEvent && e.EventType && *e.EventType >= 1 && *e.EventType <= 9;
}

} // namespace

HistoryGridModel::HistoryGridModel(QObject *parent) : StringGridModel(Columns, parent) {}

int HistoryGridModel::Fill(const QList<StoredEvent> &history, const TextTable &texts,
                           bool roentgen) {
  std::vector<qsizetype> shown;
  shown.reserve(std::size_t(history.size()));
  int rowCount = 1 + RowStep; // title row and one step of empty rows
  for (qsizetype i = 0; i < history.size(); ++i) {
    if (int(shown.size()) + 1 >= rowCount)
      rowCount += RowStep;
    if (Listed(history[i]))
      shown.push_back(i);
  }

  beginResetModel();
  events_ = history;
  shown_ = std::move(shown);
  texts_ = texts;
  roentgen_ = roentgen;
  setDataRows(rowCount - 1);
  endResetModel();
  return int(shown_.size());
}

void HistoryGridModel::ClearGrid(int n) {
  beginResetModel();
  events_.clear();
  shown_.clear();
  setDataRows(std::max(0, n));
  endResetModel();
}

QString HistoryGridModel::DateTimeText(double dayCount) {
  const QDateTime t = DayCountToDateTime(dayCount);
  if (t.isNull() || !t.date().isValid())
    return {};
  const QLocale locale;
  const QString date = locale.toString(t.date(), QLocale::ShortFormat);
  if (t.time() == QTime(0, 0))
    return date;
  return date + u' ' + locale.toString(t.time(), TimeFormatWithoutZone(locale));
}

QString HistoryGridModel::Cell(int column, int row) const {
  if (row < 1 || row > int(shown_.size()) || column < 0 || column >= Columns)
    return {};
  const StoredEvent &e = events_[shown_[std::size_t(row - 1)]];
  switch (column) {
  case 0:
    return DateTimeText(*e.DateTimeEvent);
  case 1: {
    static const int kEventText[] = {0, 13, 14, 15, 0, 21, 22, 23, 18, 19};
    if (*e.EventType == 4)
      return texts_.at(!e.EventValue || *e.EventValue > 0 ? 17 : 16);
    return texts_.at(kEventText[*e.EventType]);
  }
  case 2:
    if (const std::optional<double> rate = ShownRate(e))
      return FormatDose(*rate, roentgen_, true, texts_);
    return {};
  case 3:
    if (const std::optional<double> dose = ShownDose(e))
      return FormatDose(*dose, roentgen_, false, texts_);
    return {};
  case 4:
    return e.DeviceId && *e.DeviceId >= 1 ? QString::number(*e.DeviceId) : QString();
  }
  return {};
}
