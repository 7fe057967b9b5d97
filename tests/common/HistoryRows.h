#pragma once
// The events of TableHistory as a test reads them back, and the events a raw
// instrument history should give, for one-by-one comparisons.
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QVariantList>
#include <QtTest>
#include <atomic>

#include "TestDatabase.h"
#include "history/HistoryRecord.h"

// One event: DeviceId, UserId, DateTimeEvent, EventType, EventValue, DEValue.
using EventRow = QVariantList;

// A select on its own connection (so it sees what other connections
// committed); the rows as lists of values, empty when the file cannot be read.
inline QList<EventRow> SelectRows(const QString &dbPath, const QString &select) {
  QList<EventRow> rows;
  for (const QVariant &row : query(dbPath, select))
    rows << row.toList();
  return rows;
}

// The stored events of one instrument (all instruments for deviceId 0), in
// the order they were inserted.
inline QList<EventRow> StoredEvents(const QString &dbPath, int deviceId = 0) {
  return SelectRows(
      dbPath, "SELECT DeviceId, UserId, DateTimeEvent, EventType, EventValue, "
              "DEValue FROM TableHistory" +
                  (deviceId ? QStringLiteral(" WHERE DeviceId = %1").arg(deviceId) : QString()) +
                  " ORDER BY rowid");
}

// The events a raw history gives, in the order of its records.
inline QList<EventRow> ExpectedEvents(const QByteArray &raw, int deviceId, int userId) {
  QList<EventRow> rows;
  WalkHistory(reinterpret_cast<const std::uint8_t *>(raw.constData()), int(raw.size()),
              [&](const HistoryRecord &record, const HistoryEvent &event) {
                rows << EventRow{deviceId,         userId,
                                 record.Time,      static_cast<int>(event.Type),
                                 event.EventValue, event.DEValue};
              });
  return rows;
}

// Empty when both lists hold the same events in the same order; otherwise
// what differs first.
inline QString EventsDiffer(const QList<EventRow> &actual, const QList<EventRow> &expected) {
  if (actual.size() != expected.size())
    return QStringLiteral("%1 events stored, %2 expected").arg(actual.size()).arg(expected.size());
  for (qsizetype i = 0; i < actual.size(); ++i) {
    const EventRow &a = actual[i], &e = expected[i];
    const bool same = a.size() == 6 && a[0].toInt() == e[0].toInt() &&
                      a[1].toInt() == e[1].toInt() && a[2].toDouble() == e[2].toDouble() &&
                      a[3].toInt() == e[3].toInt() && a[4].toDouble() == e[4].toDouble() &&
                      a[5].toDouble() == e[5].toDouble();
    if (!same)
      return QStringLiteral("event %1 differs").arg(i);
  }
  return {};
}

// Fails the running test when the stored events differ from the expected ones.
inline void compareRows(const QList<EventRow> &actual, const QList<EventRow> &expected) {
  const QString difference = EventsDiffer(actual, expected);
  QVERIFY2(difference.isEmpty(), qPrintable(difference));
}
