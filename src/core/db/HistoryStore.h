#pragma once
#include <QList>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>

#include "db/DbConnection.h"
#include "db/StoredEvent.h"
#include "dose/PersonActivity.h"
#include "exchange/ExchangeRecords.h"
#include "history/DoseTotals.h"
#include "history/HistoryFilter.h"

class DbConnection;
class Journal;
class PeopleStore;
class QSqlQuery;

// The history: the events of TableHistory, filed from instruments and read
// back per person, and what was last filed from each instrument. Every value
// reaches its statement bound; calls answer false (or nullopt) when the
// database refuses, with the reason in the connection's LastError().
class HistoryStore {
public:
  // Filing looks up the holder in `people` inside its own transaction; every
  // change is written to `journal` in its own transaction.
  HistoryStore(DbConnection &connection, PeopleStore &people, Journal &journal);

  // The person's events narrowed by the criteria, in the order the select
  // gives them (none defined); nullopt when the select failed.
  std::optional<QList<StoredEvent>> UserHistory(int userId, const HistoryCriteria &criteria);
  // The instrument numbers (1 or more) that occur in the history, each once.
  std::optional<QList<qint32>> HistoryDeviceNumbers();
  // Every number stored as an instrument of an event, each once: also 0 and
  // negative ones, but only whole numbers of 32 bits, which a filter can match
  // (rows written by another program may hold anything).
  std::optional<QList<qint32>> StoredDeviceNumbers();
  // Every event that takes part in working out doses (history/DoseTotals.h):
  // a time and a DE of 0 or more; nullopt when the select failed.
  std::optional<QList<DoseEvent>> DoseEvents();
  // The same for the instruments whose events are filed under the person:
  // every event of those instruments, whoever it is filed under.
  std::optional<QList<DoseEvent>> DoseEventsAround(qint32 userId);
  // Each person's alarms and highest dose rate in the period, and latest
  // event; people without events are not in the result.
  std::optional<QHash<qint32, PersonActivity>> ActivityIn(const DosePeriod &period);
  // The times (day counts) of the person's first and last event; nullopt
  // when the person has none or the select failed.
  std::optional<std::pair<double, double>> FirstAndLastEvent(int userId);

  // How many of the person's events a deletion with these limits takes
  // (interval of day counts, both ends included; instrument).
  std::optional<qint64> CountHistory(int userId, std::optional<std::pair<double, double>> interval,
                                     std::optional<qint32> deviceId);
  // Deletes the person's events, narrowed to an interval of day counts (both
  // ends included) and an instrument when they are given. The events are
  // kept among the deleted ones (db/DeletedEvents.h), in the same
  // transaction; refused when the database has no place for them.
  bool DeleteHistory(int userId, std::optional<std::pair<double, double>> interval,
                     std::optional<qint32> deviceId);
  // How many deleted events of the person can be restored.
  std::optional<qint64> CountDeletedHistory(int userId);
  // Moves every deleted event of the person back into the history; the
  // number restored, -1 when the database refused (nothing restored).
  qint64 RestoreDeletedHistory(int userId);
  // Deletes events without an event code.
  bool PurgeUntypedEvents();

  // Files every event of a raw history area under the instrument and person,
  // in one transaction: true when all were stored (or there was nothing to
  // store), false with nothing stored when any insert failed.
  bool StoreInstrumentHistory(const std::uint8_t *data, int length, int deviceId, int userId);
  // Files a whole reading under the instrument's holder as the register says
  // at this moment (exchange/ExchangeRecords.h).
  FilingResult FileReading(qint32 deviceId, std::span<const std::uint8_t> history);
  // The instrument's history was cleared: its next reading starts anew.
  bool ForgetFiledReading(qint32 deviceId);

private:
  std::optional<QList<qint32>> DeviceNumbers(const QString &select);
  std::optional<QList<DoseEvent>> ReadDoseEvents(const QString &select, const QVariantMap &params);
  // Inserts the events of raw history bytes with `query`; the count stored,
  // -1 when an insert failed.
  int InsertEvents(QSqlQuery &query, std::span<const std::uint8_t> bytes, qint32 deviceId,
                   qint32 userId);
  // How many leading bytes of `reading` were filed before from the
  // instrument (0 when it does not begin with what was last filed); -1 when
  // the statement failed.
  qsizetype AlreadyFiled(QSqlQuery &query, qint32 deviceId, std::span<const std::uint8_t> reading);
  bool RememberFiled(QSqlQuery &query, qint32 deviceId, std::span<const std::uint8_t> reading);

  DbConnection &c_;
  PeopleStore &people_;
  DbConnection::PreparedStatement historySelect_; // the person's history, kept prepared
  Journal &journal_;
};
