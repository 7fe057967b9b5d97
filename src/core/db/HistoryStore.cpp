#include "db/HistoryStore.h"

#include <QCryptographicHash>
#include <QSqlQuery>
#include <cmath>

#include "db/DbConnection.h"
#include "db/DeletedEvents.h"
#include "db/Journal.h"
#include "db/PeopleStore.h"
#include "db/Statement.h"
#include "db/TableColumns.h"
#include "history/HistoryRecord.h"

namespace {
const QString InsertEventText = QStringLiteral(
    "INSERT INTO TableHistory (DeviceId,UserId, DateTimeEvent, EventType, EventValue, DEValue) "
    "VALUES(:PDeviceId, :PUserId, :PDateTimeEvent, :PEventType, :PEventValue, :PDEValue)");

// A value as stored: a NaN (a broken instrument record) as NULL, on every engine.
QVariant Stored(double value) {
  return std::isnan(value) ? QVariant(QMetaType::fromType<double>()) : QVariant(value);
}

// The events of the bytes that take part in doses, as they are stored.
QList<DoseEvent> DoseEventsOf(std::span<const std::uint8_t> bytes, qint32 deviceId, qint32 userId) {
  QList<DoseEvent> events;
  WalkHistory(bytes.data(), static_cast<int>(bytes.size()),
              [&](const HistoryRecord &record, const HistoryEvent &event) {
                if (event.DEValue >= 0)
                  events.append({deviceId, userId, record.Time, event.DEValue});
              });
  return events;
}

QByteArray HashOf(std::span<const std::uint8_t> bytes) {
  return QCryptographicHash::hash(
      QByteArrayView(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size())),
      QCryptographicHash::Sha256);
}
} // namespace

HistoryStore::HistoryStore(DbConnection &connection, PeopleStore &people, Journal &journal)
    : c_(connection), people_(people), journal_(journal) {}

std::optional<std::pair<double, double>> HistoryStore::FirstAndLastEvent(int userId) {
  QSqlQuery q = c_.Query();
  if (!c_.Exec(q,
               QStringLiteral("SELECT Min(DateTimeEvent), Max(DateTimeEvent) FROM TableHistory "
                              "WHERE UserId = :PUserId"),
               {{QStringLiteral(":PUserId"), userId}}) ||
      !q.next())
    return std::nullopt;
  bool firstOk = false, lastOk = false;
  const double first = q.value(0).toDouble(&firstOk);
  const double last = q.value(1).toDouble(&lastOk);
  // A person without events gets a row of NULLs.
  if (q.value(0).isNull() || q.value(1).isNull() || !firstOk || !lastOk)
    return std::nullopt;
  return std::pair(first, last);
}

namespace {
// The events a deletion takes: the person's, narrowed to an interval of day
// counts (both ends included) and an instrument when they are given.
Statement DeletionCondition(int userId, std::optional<std::pair<double, double>> interval,
                            std::optional<qint32> deviceId) {
  Statement s{QStringLiteral("UserId = :PUserId"), {{QStringLiteral(":PUserId"), userId}}};
  if (interval) {
    s.text += QStringLiteral(" AND (DateTimeEvent BETWEEN :DTEB AND :DTEE)");
    s.params.insert(QStringLiteral(":DTEB"), interval->first);
    s.params.insert(QStringLiteral(":DTEE"), interval->second);
  }
  if (deviceId) {
    s.text += QStringLiteral(" AND DeviceId = :PDeviceId");
    s.params.insert(QStringLiteral(":PDeviceId"), *deviceId);
  }
  return s;
}
} // namespace

std::optional<qint64> HistoryStore::CountHistory(int userId,
                                                 std::optional<std::pair<double, double>> interval,
                                                 std::optional<qint32> deviceId) {
  const Statement where = DeletionCondition(userId, interval, deviceId);
  QSqlQuery q = c_.Query();
  if (!c_.Exec(q, QStringLiteral("SELECT COUNT(*) FROM TableHistory WHERE ") + where.text,
               where.params) ||
      !q.next())
    return std::nullopt;
  return q.value(0).toLongLong();
}

bool HistoryStore::DeleteHistory(int userId, std::optional<std::pair<double, double>> interval,
                                 std::optional<qint32> deviceId) {
  const Statement where = DeletionCondition(userId, interval, deviceId);
  return c_.InTransaction([&] {
    const qint64 moved = MoveToDeleted(c_, journal_, where.text, where.params);
    return moved >= 0 &&
           journal_.Write(JournalAction::HistoryDeleted, userId,
                          deviceId ? std::optional<qint64>(*deviceId) : std::nullopt, moved);
  });
}

std::optional<qint64> HistoryStore::CountDeletedHistory(int userId) {
  if (!c_.Schema().Has(DeletedHistorySchemaVersion))
    return 0;
  QSqlQuery q = c_.Query();
  if (!c_.Exec(q,
               QStringLiteral("SELECT COUNT(*) FROM TableDeletedHistory WHERE UserId = :PUserId"),
               {{QStringLiteral(":PUserId"), userId}}) ||
      !q.next())
    return std::nullopt;
  return q.value(0).toLongLong();
}

qint64 HistoryStore::RestoreDeletedHistory(int userId) {
  qint64 moved = -1;
  const bool ok = c_.InTransaction([&] {
    moved = MoveBackDeleted(c_, userId);
    return moved >= 0 &&
           journal_.Write(JournalAction::HistoryRestored, userId, std::nullopt, moved);
  });
  return ok ? moved : -1;
}

bool HistoryStore::PurgeUntypedEvents() {
  QSqlQuery q = c_.Query();
  return c_.Exec(q, QStringLiteral("DELETE FROM TableHistory WHERE EventType IS NULL"));
}

int HistoryStore::InsertEvents(QSqlQuery &q, std::span<const std::uint8_t> bytes, qint32 deviceId,
                               qint32 userId) {
  q.finish();
  if (c_.CopiesRows()) {
    // Over a network the events go to the server in one stream.
    QList<QVariantList> rows;
    WalkHistory(bytes.data(), static_cast<int>(bytes.size()),
                [&](const HistoryRecord &record, const HistoryEvent &event) {
                  rows.append(QVariantList{deviceId, userId, record.Time, int(event.Type),
                                           Stored(event.EventValue), Stored(event.DEValue)});
                });
    if (rows.isEmpty())
      return 0;
    return c_.CopyRows(QStringLiteral("TableHistory"), HistoryColumns(), rows).value_or(false)
               ? int(rows.size())
               : -1;
  }
  if (!c_.Prepare(q, InsertEventText))
    return -1;
  int stored = 0;
  bool ok = true;
  WalkHistory(bytes.data(), static_cast<int>(bytes.size()),
              [&](const HistoryRecord &record, const HistoryEvent &event) {
                if (!ok)
                  return;
                q.bindValue(0, deviceId);
                q.bindValue(1, userId);
                q.bindValue(2, record.Time);
                q.bindValue(3, static_cast<int>(event.Type));
                q.bindValue(4, Stored(event.EventValue));
                q.bindValue(5, Stored(event.DEValue));
                ok = c_.Ok(q.exec(), q);
                stored += ok ? 1 : 0;
              });
  q.finish();
  return ok ? stored : -1;
}

bool HistoryStore::StoreInstrumentHistory(const std::uint8_t *data, int length, int deviceId,
                                          int userId) {
  QSqlQuery q = c_.Query();
  if (!c_.Prepare(q, InsertEventText))
    return false;
  if (!data || length <= 0)
    return true;
  return c_.InTransaction([&] {
    const int stored = InsertEvents(q, {data, static_cast<std::size_t>(length)}, deviceId, userId);
    return stored >= 0 && journal_.Write(JournalAction::ReadingFiled, userId, deviceId, stored);
  });
}

qsizetype HistoryStore::AlreadyFiled(QSqlQuery &q, qint32 deviceId,
                                     std::span<const std::uint8_t> reading) {
  if (!c_.Schema().Has(1))
    return 0;
  if (!c_.Exec(q,
               QStringLiteral("SELECT FiledLength, FiledHash FROM TableLastFiled "
                              "WHERE DeviceId = :PDeviceId"),
               {{QStringLiteral(":PDeviceId"), deviceId}}))
    return -1;
  qsizetype filed = 0;
  if (q.next()) {
    const qint64 length = q.value(0).toLongLong();
    const QByteArray hash = q.value(1).toByteArray();
    if (length > 0 && length <= qint64(reading.size()) &&
        HashOf(reading.first(std::size_t(length))) == hash)
      filed = qsizetype(length - length % HistoryRecord::Size);
  }
  q.finish();
  return filed;
}

bool HistoryStore::RememberFiled(QSqlQuery &q, qint32 deviceId,
                                 std::span<const std::uint8_t> reading) {
  if (!c_.Schema().Has(1))
    return true;
  return c_.Exec(
      q,
      QStringLiteral("INSERT INTO TableLastFiled (DeviceId, FiledLength, FiledHash) "
                     "VALUES (:PDeviceId, :PLength, :PHash) "
                     "ON CONFLICT (DeviceId) DO UPDATE SET "
                     "FiledLength = excluded.FiledLength, FiledHash = excluded.FiledHash"),
      {{QStringLiteral(":PDeviceId"), deviceId},
       {QStringLiteral(":PLength"), qint64(reading.size())},
       {QStringLiteral(":PHash"), HashOf(reading)}});
}

FilingResult HistoryStore::FileReading(qint32 deviceId, std::span<const std::uint8_t> history) {
  FilingResult result;
  const bool ok = c_.InTransaction([&] {
    QSqlQuery q = c_.Query();
    // Desks filing this instrument take turns, so the second finds what the
    // first filed.
    if (!c_.LockInstrument(deviceId))
      return false;
    const std::optional<Holder> holder = people_.ReadHolder(q, deviceId);
    if (!holder)
      return false;
    result.holder = *holder;
    if (holder->UserId < 1) {
      result.outcome = FilingResult::Outcome::NoHolder;
      return true;
    }
    // What another desk, or an earlier try whose clear command failed, has
    // filed already is not filed again.
    const qsizetype from = AlreadyFiled(q, deviceId, history);
    if (from < 0)
      return false;
    const int stored =
        InsertEvents(q, history.subspan(std::size_t(from)), deviceId, holder->UserId);
    if (stored < 0 || !RememberFiled(q, deviceId, history) ||
        !journal_.Write(JournalAction::ReadingFiled, holder->UserId, deviceId, stored))
      return false;
    result.EventsFiled = stored;
    result.FiledDose = DoseEventsOf(history.subspan(std::size_t(from)), deviceId, holder->UserId);
    result.outcome = FilingResult::Outcome::Filed;
    return true;
  });
  if (!ok) {
    result = FilingResult{};
    result.error = c_.LastError();
  }
  return result;
}

bool HistoryStore::ForgetFiledReading(qint32 deviceId) {
  if (!c_.Schema().Has(1))
    return true;
  QSqlQuery q = c_.Query();
  return c_.Exec(q, QStringLiteral("DELETE FROM TableLastFiled WHERE DeviceId = :PDeviceId"),
                 {{QStringLiteral(":PDeviceId"), deviceId}});
}
