#pragma once
// The rows an instrument's raw history should become in TableHistory, and
// their comparison with what was filed.
#include "history/HistoryRecord.h"

#include <QByteArray>
#include <QVariantList>
#include <QtTest>

// The rows a raw history gives, in the order of its records.
inline QVariantList expectedRows(const QByteArray &raw, int deviceId, int userId) {
  QVariantList rows;
  WalkHistory(reinterpret_cast<const std::uint8_t *>(raw.constData()), int(raw.size()),
              [&](const HistoryRecord &record, const HistoryEvent &event) {
                rows << QVariant(QVariantList{deviceId, userId, record.Time,
                                              static_cast<int>(event.Type), event.EventValue,
                                              event.DEValue});
              });
  return rows;
}

// Rows of DeviceId, UserId, DateTimeEvent, EventType, EventValue, DEValue.
inline void compareRows(const QVariantList &actual, const QVariantList &expected) {
  QCOMPARE(actual.size(), expected.size());
  for (int i = 0; i < actual.size(); ++i) {
    const QVariantList a = actual[i].toList(), e = expected[i].toList();
    QCOMPARE(a[0].toInt(), e[0].toInt());
    QCOMPARE(a[1].toInt(), e[1].toInt());
    QCOMPARE(a[2].toDouble(), e[2].toDouble());
    QCOMPARE(a[3].toInt(), e[3].toInt());
    QCOMPARE(a[4].toDouble(), e[4].toDouble());
    QCOMPARE(a[5].toDouble(), e[5].toDouble());
  }
}
