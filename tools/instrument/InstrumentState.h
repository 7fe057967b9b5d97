#pragma once
// What the instrument keeps in its memory: number, parameter block, activation time,
// history and accumulated dose (DE).

#include <QByteArray>
#include <QDateTime>
#include <QString>

constexpr int ParameterBlockSize = 29; // bytes 4..32 of the parameter reply
constexpr int DateTimeGroupSize = 7;   // day, month, year (16 bit), hour, minute, second
constexpr int HistoryAreaSize = 266340;
constexpr int HistoryRecordSize = 20;
constexpr int ParameterWriteLength = 27;
constexpr qint32 MaxInstrumentNumber = 9999999;

struct InstrumentState {
  qint32 number = 0;
  QByteArray parameters; // ParameterBlockSize bytes, as the parameter reply carries them
  QByteArray activation; // DateTimeGroupSize bytes, as the activation reply carries them
  QByteArray history;    // raw 20-byte records
  float de = 0.0f;       // accumulated dose, Sv

  static InstrumentState fresh();
  static QByteArray defaultParameters();

  // Takes the settings of a 27-byte parameter write into the block. Bytes the write does
  // not carry (reply bytes 14..15, 20..23, 28..29) keep their values.
  void applyParameterWrite(const QByteArray &frame);

  QByteArray toJson() const;
  // False and a reason when the text is not a state file this program wrote.
  static bool fromJson(const QByteArray &json, InstrumentState &state, QString &error);
};

QByteArray DateTimeGroup(const QDateTime &time);

// Whole or nothing: the file holds either the old or the new state.
bool SaveStateFile(const QString &path, const InstrumentState &state, QString &error);
bool LoadStateFile(const QString &path, InstrumentState &state, QString &error);

// The dose of the last whole record, or 0 for a history without records.
float LastRecordDose(const QByteArray &history);
