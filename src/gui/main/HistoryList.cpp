#include "main/HistoryList.h"

#include "history/DayCount.h"
#include "history/DoseFormat.h"
#include "history/RecordSet.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace {

enum : quint8 { HasWhen = 1, HasValue = 2, HasDe = 4, HasDevice = 8 };

// A cell read as a number; false for NULL, a missing column or a text that is
// not a number.
bool NumberAt(const RecordSet &rows, int column, int sourceRow, double *out) {
  if (column < 0)
    return false;
  const RecordColumn &c = rows.Column(column);
  if (c.IsNull(sourceRow))
    return false;
  bool ok = true;
  switch (c.kind()) {
  case RecordColumn::Kind::Integer:
    *out = double(c.IntegerAt(sourceRow));
    break;
  case RecordColumn::Kind::Real:
    *out = c.RealAt(sourceRow);
    break;
  case RecordColumn::Kind::Text:
    *out = c.TextAt(sourceRow).trimmed().toDouble(&ok);
    break;
  case RecordColumn::Kind::Variant:
    *out = c.VariantAt(sourceRow).toDouble(&ok);
    break;
  case RecordColumn::Kind::Empty:
    return false;
  }
  return ok && !std::isnan(*out);
}

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

} // namespace

HistoryGridModel::HistoryGridModel(QObject *parent) : StringGridModel(Columns, parent) {}

int HistoryGridModel::Fill(const RecordSet &history, const TextTable &texts, bool roentgen) {
  const int colWhen = history.FieldIndex("DateTimeEvent");
  const int colType = history.FieldIndex("EventType");
  const int colValue = history.FieldIndex("EventValue");
  const int colDe = history.FieldIndex("DEValue");
  const int colDevice = history.FieldIndex("DeviceId");
  const int n = history.RowCount();

  std::vector<Event> events;
  events.reserve(std::size_t(n));
  int rowCount = 1 + RowStep; // title row and one step of empty rows
  int r = 1;
  for (int i = 0; i < n; ++i) {
    if (r >= rowCount)
      rowCount += RowStep;
    const int src = history.SourceRow(i);
    double when = 0, type = 0;
    if (!NumberAt(history, colWhen, src, &when) || !NumberAt(history, colType, src, &type) ||
        type < 1 || type > 9 || type != std::floor(type))
      continue;
    Event e{when, 0, 0, 0, quint8(type), HasWhen};
    if (NumberAt(history, colValue, src, &e.value))
      e.flags |= HasValue;
    if (NumberAt(history, colDe, src, &e.de))
      e.flags |= HasDe;
    double device = 0;
    if (NumberAt(history, colDevice, src, &device) && device >= 1 &&
        device < double(std::numeric_limits<qint64>::max())) {
      e.device = qint64(device);
      e.flags |= HasDevice;
    }
    events.push_back(e);
    ++r;
  }

  beginResetModel();
  events_ = std::move(events);
  texts_ = texts;
  roentgen_ = roentgen;
  setDataRows(rowCount - 1);
  endResetModel();
  return int(events_.size());
}

void HistoryGridModel::ClearGrid(int n) {
  beginResetModel();
  events_.clear();
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
  if (row < 1 || row > int(events_.size()) || column < 0 || column >= Columns)
    return {};
  const Event &e = events_[std::size_t(row - 1)];
  const bool value = (e.flags & HasValue) && e.value >= 0;
  const bool de = (e.flags & HasDe) && e.de >= 0;
  switch (column) {
  case 0:
    return DateTimeText(e.when);
  case 1: {
    static const int kEventText[] = {0, 13, 14, 15, 0, 21, 22, 23, 18, 19};
    if (e.type == 4)
      return texts_.at(!(e.flags & HasValue) || e.value > 0 ? 17 : 16);
    return texts_.at(kEventText[e.type]);
  }
  case 2:
    return (e.type == 1 || e.type == 7) && value ? FormatDose(e.value, roentgen_, true, texts_)
                                                 : QString();
  case 3:
    return (e.type == 7 || e.type == 8) && de ? FormatDose(e.de, roentgen_, false, texts_)
                                              : QString();
  case 4:
    return (e.flags & HasDevice) ? QString::number(e.device) : QString();
  }
  return {};
}
