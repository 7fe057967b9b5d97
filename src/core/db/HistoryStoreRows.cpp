// The history read back into typed rows.
#include "db/HistoryStore.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <charconv>
#include <cmath>
#include <limits>

#include "db/DbConnection.h"
#include "db/Statement.h"

namespace {

// A cell as a number: integers and reals as they are, a text when it reads
// as one (blanks around it allowed); NULL and anything else have none.
std::optional<double> NumberOf(const QVariant &cell) {
  if (cell.isNull())
    return std::nullopt;
  bool ok = false;
  double d = 0;
  switch (cell.metaType().id()) {
  case QMetaType::LongLong:
  case QMetaType::Int:
    return double(cell.toLongLong());
  case QMetaType::QString:
    d = cell.toString().trimmed().toDouble(&ok);
    break;
  default:
    d = cell.toDouble(&ok);
  }
  if (!ok || std::isnan(d))
    return std::nullopt;
  return d;
}

// A cell as a whole number: an integer exactly, a real or a text when it is
// a whole number within 64 bits.
std::optional<qint64> WholeNumberOf(const QVariant &cell) {
  const int type = cell.metaType().id();
  if (!cell.isNull() && (type == QMetaType::LongLong || type == QMetaType::Int))
    return cell.toLongLong();
  const std::optional<double> d = NumberOf(cell);
  // 2^63 is the first double beyond the range; every double below it is.
  constexpr double limit = 9223372036854775808.0;
  if (!d || *d != std::floor(*d) || *d >= limit || *d < -limit)
    return std::nullopt;
  return qint64(*d);
}

std::optional<int> EventCodeOf(const QVariant &cell) {
  const std::optional<qint64> code = WholeNumberOf(cell);
  if (!code || *code < std::numeric_limits<int>::min() || *code > std::numeric_limits<int>::max())
    return std::nullopt;
  return int(*code);
}

QVariant CellAt(const QSqlQuery &q, int column) {
  return column < 0 ? QVariant() : q.value(column);
}

} // namespace

std::optional<QList<StoredEvent>> HistoryStore::UserHistory(int userId,
                                                            const HistoryCriteria &criteria) {
  const Statement select = HistorySelect(userId, criteria);
  // Kept prepared: the list asks again and again with other people.
  if (!c_.Exec(historySelect_, select.text, select.params))
    return std::nullopt;
  QSqlQuery &q = historySelect_.query;
  // Columns by name: a file from elsewhere may order them differently.
  const QSqlRecord record = q.record();
  const int device = record.indexOf(QStringLiteral("DeviceId"));
  const int user = record.indexOf(QStringLiteral("UserId"));
  const int when = record.indexOf(QStringLiteral("DateTimeEvent"));
  const int type = record.indexOf(QStringLiteral("EventType"));
  const int value = record.indexOf(QStringLiteral("EventValue"));
  const int dose = record.indexOf(QStringLiteral("DEValue"));
  QList<StoredEvent> rows;
  while (q.next()) {
    StoredEvent &e = rows.emplaceBack();
    e.DeviceId = WholeNumberOf(CellAt(q, device));
    e.UserId = user < 0 ? userId : q.value(user).toInt();
    e.DateTimeEvent = NumberOf(CellAt(q, when));
    e.EventType = EventCodeOf(CellAt(q, type));
    e.EventValue = NumberOf(CellAt(q, value));
    e.DEValue = NumberOf(CellAt(q, dose));
  }
  const bool ok = c_.Ok(!q.lastError().isValid(), q);
  q.finish();
  if (!ok)
    return std::nullopt;
  return rows;
}

std::optional<QList<qint32>> HistoryStore::DeviceNumbers(const QString &select) {
  QSqlQuery q = c_.Query();
  if (!c_.Exec(q, select))
    return std::nullopt;
  QList<qint32> numbers;
  while (q.next()) {
    const std::optional<qint64> n = WholeNumberOf(q.value(0));
    if (n && *n >= std::numeric_limits<qint32>::min() && *n <= std::numeric_limits<qint32>::max())
      numbers << qint32(*n);
  }
  if (!c_.Ok(!q.lastError().isValid(), q))
    return std::nullopt;
  return numbers;
}

namespace {
const QString DoseEventSelect =
    QStringLiteral("SELECT DeviceId, UserId, DateTimeEvent, DEValue FROM TableHistory "
                   "WHERE DateTimeEvent IS NOT NULL AND DEValue >= 0");
} // namespace

std::optional<QList<DoseEvent>> HistoryStore::DoseEvents() {
  return ReadDoseEvents(DoseEventSelect, {});
}

std::optional<QList<DoseEvent>> HistoryStore::DoseEventsAround(qint32 userId) {
  // The events without an instrument make one timeline too.
  return ReadDoseEvents(
      DoseEventSelect +
          QStringLiteral(" AND (DeviceId IN (SELECT DeviceId FROM TableHistory WHERE UserId = "
                         ":PUserId) OR (DeviceId IS NULL AND EXISTS (SELECT 1 FROM TableHistory "
                         "WHERE UserId = :PUserId2 AND DeviceId IS NULL)))"),
      {{QStringLiteral(":PUserId"), userId}, {QStringLiteral(":PUserId2"), userId}});
}

namespace {
template <class T> std::optional<T> StreamedNumber(const std::optional<std::string_view> &field) {
  T value{};
  if (!field || field->empty() ||
      std::from_chars(field->data(), field->data() + field->size(), value).ec != std::errc())
    return std::nullopt;
  return value;
}
} // namespace

std::optional<QList<DoseEvent>> HistoryStore::ReadDoseEvents(const QString &select,
                                                             const QVariantMap &params) {
  if (params.isEmpty()) {
    // Over a network the rows come in one stream.
    QList<DoseEvent> events;
    const std::optional<bool> streamed =
        c_.StreamRows(select, 4, [&](std::span<const std::optional<std::string_view>> f) {
          const std::optional<double> time = StreamedNumber<double>(f[2]),
                                      de = StreamedNumber<double>(f[3]);
          if (time && de)
            events.append({StreamedNumber<qint64>(f[0]),
                           qint32(StreamedNumber<qint64>(f[1]).value_or(0)), *time, *de});
        });
    if (streamed)
      return *streamed ? std::optional(std::move(events)) : std::nullopt;
  }
  QSqlQuery q = c_.Query();
  q.setForwardOnly(true);
  if (!c_.Exec(q, select, params))
    return std::nullopt;
  QList<DoseEvent> events;
  while (q.next()) {
    const std::optional<double> time = NumberOf(q.value(2)), de = NumberOf(q.value(3));
    if (time && de)
      events.append({WholeNumberOf(q.value(0)), q.value(1).toInt(), *time, *de});
  }
  if (!c_.Ok(!q.lastError().isValid(), q))
    return std::nullopt;
  return events;
}

std::optional<QHash<qint32, PersonActivity>> HistoryStore::ActivityIn(const DosePeriod &period) {
  // Rates of gamma (1) and time (7) alarms; alarms are codes 1, 2, 3, 7 and 8;
  // registrations (5, 6) are no reading.
  QSqlQuery q = c_.Query();
  q.setForwardOnly(true);
  const QVariantMap params{{QStringLiteral(":PBegin"), period.Begin},
                           {QStringLiteral(":PEnd"), period.End},
                           {QStringLiteral(":PBegin2"), period.Begin},
                           {QStringLiteral(":PEnd2"), period.End}};
  if (!c_.Exec(q,
               QStringLiteral(
                   "SELECT UserId, "
                   "MAX(CASE WHEN EventType IN (1, 7) AND EventValue >= 0 AND DateTimeEvent >= "
                   ":PBegin AND DateTimeEvent < :PEnd THEN EventValue END), "
                   "SUM(CASE WHEN EventType IN (1, 2, 3, 7, 8) AND DateTimeEvent >= :PBegin2 AND "
                   "DateTimeEvent < :PEnd2 THEN 1 ELSE 0 END), "
                   "MAX(CASE WHEN EventType NOT IN (5, 6) THEN DateTimeEvent END) "
                   "FROM TableHistory GROUP BY UserId"),
               params))
    return std::nullopt;
  QHash<qint32, PersonActivity> activity;
  while (q.next()) {
    PersonActivity &a = activity[q.value(0).toInt()];
    a.HighestRate = NumberOf(q.value(1));
    a.Alarms = q.value(2).toInt();
    a.LastReading = NumberOf(q.value(3));
  }
  if (!c_.Ok(!q.lastError().isValid(), q))
    return std::nullopt;
  return activity;
}

std::optional<QList<qint32>> HistoryStore::HistoryDeviceNumbers() {
  return DeviceNumbers(QStringLiteral("SELECT DISTINCT DeviceId FROM TableHistory "
                                      "WHERE DeviceId > 0 AND DeviceId IS NOT NULL"));
}

std::optional<QList<qint32>> HistoryStore::StoredDeviceNumbers() {
  return DeviceNumbers(QStringLiteral("SELECT DISTINCT DeviceId FROM TableHistory"));
}
