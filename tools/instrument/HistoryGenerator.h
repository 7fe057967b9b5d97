#pragma once
// A plausible instrument history: working sessions from switch-on to switch-off (or a
// failed battery), alarms of every kind in between, clock always forward, DE rising.

#include <QByteArray>
#include <QDateTime>

struct GeneratedHistory {
  QByteArray records;
  float de = 0.0f; // the dose of the last record
};

// At most HistoryAreaSize / 20 events. The same seed gives the same history.
GeneratedHistory GenerateHistory(int events, const QDateTime &start, quint32 seed);

enum RecordKind : quint8 {
  KindSwitchOn = 1,
  KindSwitchOff = 2,
  KindPhosphorum = 3,
  KindArsenium = 4,
  KindTime = 5,
  KindGamma = 16,
  KindDose = 32,
  KindBattery = 64,
};
