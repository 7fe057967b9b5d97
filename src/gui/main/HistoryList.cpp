#include "main/HistoryList.h"

#include "history/DayCount.h"
#include "history/DoseFormat.h"
#include "history/HistoryOrder.h"

#include <QHash>
#include <QLocale>
#include <algorithm>

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
  listed_ = std::move(shown);
  texts_ = texts;
  roentgen_ = roentgen;
  ArrangeRows();
  setDataRows(rowCount - 1);
  endResetModel();
  return int(shown_.size());
}

void HistoryGridModel::sort(int column, Qt::SortOrder order) {
  if (column < 0 || column >= Columns)
    return;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const std::vector<qsizetype> before = shown_;
  sortColumn_ = column;
  sortOrder_ = order;
  ArrangeRows();
  std::vector<int> rowOfEvent(std::size_t(events_.size()), -1);
  for (std::size_t r = 0; r < shown_.size(); ++r)
    rowOfEvent[std::size_t(shown_[r])] = int(r);
  const QModelIndexList from = persistentIndexList();
  QModelIndexList to;
  to.reserve(from.size());
  for (const QModelIndex &i : from) {
    const int row = i.row() < int(before.size())
                        ? rowOfEvent[std::size_t(before[std::size_t(i.row())])]
                        : i.row();
    to << index(row, i.column());
  }
  changePersistentIndexList(from, to);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QString HistoryGridModel::EventText(const StoredEvent &e) const {
  static const int kEventText[] = {0, 13, 14, 15, 0, 21, 22, 23, 18, 19};
  if (*e.EventType == 4)
    return texts_.at(!e.EventValue || *e.EventValue > 0 ? 17 : 16);
  return texts_.at(kEventText[*e.EventType]);
}

void HistoryGridModel::ArrangeRows() {
  shown_ = listed_;
  if (sortColumn_ < 0)
    return;
  const auto ordered = [&](auto before) {
    std::stable_sort(shown_.begin(), shown_.end(), [&](qsizetype a, qsizetype b) {
      const StoredEvent &ea = events_[a], &eb = events_[b];
      return sortOrder_ == Qt::AscendingOrder ? before(ea, eb) : before(eb, ea);
    });
  };
  // Time order first, so that rows of one value keep it.
  std::stable_sort(shown_.begin(), shown_.end(),
                   [&](qsizetype a, qsizetype b) { return EarlierEvent(events_[a], events_[b]); });
  switch (sortColumn_) {
  case 0:
    if (sortOrder_ == Qt::DescendingOrder)
      ordered(EarlierEvent);
    break;
  case 1: {
    // Each event's text ranked once, not compared once per comparison.
    QStringList names;
    for (qsizetype i : shown_)
      names << EventText(events_[i]);
    names.removeDuplicates();
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return a.localeAwareCompare(b) < 0; });
    QHash<QString, int> rank;
    for (int k = 0; k < names.size(); ++k)
      rank.insert(names[k], k);
    ordered([&](const StoredEvent &a, const StoredEvent &b) {
      return rank.value(EventText(a)) < rank.value(EventText(b));
    });
    break;
  }
  case 2:
    ordered([](const StoredEvent &a, const StoredEvent &b) { return ShownRate(a) < ShownRate(b); });
    break;
  case 3:
    ordered([](const StoredEvent &a, const StoredEvent &b) { return ShownDose(a) < ShownDose(b); });
    break;
  case 4: {
    const auto shownDevice = [](const StoredEvent &e) {
      return e.DeviceId && *e.DeviceId >= 1 ? e.DeviceId : std::nullopt;
    };
    ordered([&](const StoredEvent &a, const StoredEvent &b) {
      return shownDevice(a) < shownDevice(b);
    });
    break;
  }
  }
}

void HistoryGridModel::ClearGrid(int n) {
  beginResetModel();
  events_.clear();
  listed_.clear();
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
  case 1:
    return EventText(e);
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
