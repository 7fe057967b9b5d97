#include "InstrumentState.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QtEndian>
#include <cstring>

namespace {

constexpr char StateFormat[] = "vx4418-instrument-state";
constexpr int StateVersion = 1;

// Offsets inside the parameter block (reply byte minus 4).
constexpr int ParDerThreshold = 0;   // float, Sv/h
constexpr int ParSwitchOffDelay = 4; // u16, seconds
constexpr int ParKept10 = 6;         // reply bytes 10..13, carried by the write
constexpr int ParNotWritten14 = 10;  // reply bytes 14..15, not in the write
constexpr int ParInterval = 12;      // u16, minutes
constexpr int ParFlags = 14;
constexpr int ParByte19 = 15;
constexpr int ParNotWritten20 = 16; // reply bytes 20..23, not in the write
constexpr int ParDeThreshold = 20;  // float, Sv
constexpr int ParNotWritten28 = 24; // reply bytes 28..29, not in the write
constexpr int ParByte30 = 26;
constexpr int ParClock = 27;
constexpr int ParBrightness = 28;

void putFloat(QByteArray &bytes, int offset, float value) {
  quint32 bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  qToLittleEndian<quint32>(bits, bytes.data() + offset);
}

void putU16(QByteArray &bytes, int offset, quint16 value) {
  qToLittleEndian<quint16>(value, bytes.data() + offset);
}

void putU32(QByteArray &bytes, int offset, quint32 value) {
  qToLittleEndian<quint32>(value, bytes.data() + offset);
}

} // namespace

QByteArray InstrumentState::defaultParameters() {
  QByteArray block(ParameterBlockSize, '\0');
  putFloat(block, ParDerThreshold, 1.2e-5f);
  putU16(block, ParSwitchOffDelay, 20);
  putU16(block, ParKept10, 0x0302);
  putU16(block, ParKept10 + 2, 0x0064);
  putU16(block, ParNotWritten14, 0x0A0B);
  putU16(block, ParInterval, 60);
  // Sound on, loud, display switch-off, sievert, button beep, and bit 6.
  block[ParFlags] = char(0xF9);
  block[ParByte19] = char(0x5A);
  putU32(block, ParNotWritten20, 0x11223344);
  putFloat(block, ParDeThreshold, 1.0e-3f);
  putU16(block, ParNotWritten28, 0x0C0D);
  block[ParByte30] = char(0xC3);
  block[ParClock] = char(0x07);
  block[ParBrightness] = char(10);
  return block;
}

InstrumentState InstrumentState::fresh() {
  InstrumentState state;
  state.number = 4418001;
  state.parameters = defaultParameters();
  state.activation = DateTimeGroup(QDateTime(QDate(2024, 1, 15), QTime(8, 30, 0)));
  return state;
}

void InstrumentState::applyParameterWrite(const QByteArray &frame) {
  if (frame.size() != ParameterWriteLength || parameters.size() != ParameterBlockSize)
    return;
  const auto copy = [&](int from, int to, int count) {
    std::memcpy(parameters.data() + to, frame.constData() + from, size_t(count));
  };
  copy(4, ParDerThreshold, 4);
  copy(8, ParSwitchOffDelay, 2);
  copy(10, ParKept10, 4);
  copy(14, ParInterval, 2);
  copy(16, ParFlags, 1);
  copy(17, ParByte19, 1);
  copy(18, ParDeThreshold, 4);
  copy(22, ParByte30, 1);
  copy(23, ParClock, 1);
  copy(24, ParBrightness, 1); // byte 25 repeats it
}

QByteArray InstrumentState::toJson() const {
  QJsonObject object;
  object["format"] = StateFormat;
  object["version"] = StateVersion;
  object["number"] = number;
  object["parameters"] = QString::fromLatin1(parameters.toHex());
  object["activation"] = QString::fromLatin1(activation.toHex());
  object["de"] = double(de);
  object["historyLength"] = int(history.size());
  object["history"] = QString::fromLatin1(history.toBase64());
  return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

bool InstrumentState::fromJson(const QByteArray &json, InstrumentState &state, QString &error) {
  QJsonParseError parseError;
  const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
  if (!document.isObject()) {
    error = QStringLiteral("not a state file: %1").arg(parseError.errorString());
    return false;
  }
  const QJsonObject object = document.object();
  if (object["format"].toString() != QLatin1String(StateFormat) ||
      object["version"].toInt() != StateVersion) {
    error = QStringLiteral("not a state file of version %1").arg(StateVersion);
    return false;
  }
  InstrumentState loaded;
  loaded.number = object["number"].toInt(-1);
  loaded.parameters = QByteArray::fromHex(object["parameters"].toString().toLatin1());
  loaded.activation = QByteArray::fromHex(object["activation"].toString().toLatin1());
  loaded.de = float(object["de"].toDouble());
  const auto decoded = QByteArray::fromBase64Encoding(object["history"].toString().toLatin1(),
                                                      QByteArray::AbortOnBase64DecodingErrors);
  if (loaded.number < 0 || loaded.number > MaxInstrumentNumber ||
      loaded.parameters.size() != ParameterBlockSize ||
      loaded.activation.size() != DateTimeGroupSize || !decoded ||
      decoded.decoded.size() != object["historyLength"].toInt(-1)) {
    error = QStringLiteral("damaged state file");
    return false;
  }
  loaded.history = decoded.decoded;
  state = loaded;
  return true;
}

QByteArray DateTimeGroup(const QDateTime &time) {
  const QDate date = time.date();
  const QTime clock = time.time();
  QByteArray group(DateTimeGroupSize, '\0');
  group[0] = char(date.day());
  group[1] = char(date.month());
  putU16(group, 2, quint16(date.year()));
  group[4] = char(clock.hour());
  group[5] = char(clock.minute());
  group[6] = char(clock.second());
  return group;
}

bool SaveStateFile(const QString &path, const InstrumentState &state, QString &error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(state.toJson()) < 0 || !file.commit()) {
    error = file.errorString();
    return false;
  }
  return true;
}

bool LoadStateFile(const QString &path, InstrumentState &state, QString &error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    error = file.errorString();
    return false;
  }
  return InstrumentState::fromJson(file.readAll(), state, error);
}

float LastRecordDose(const QByteArray &history) {
  const qsizetype records = history.size() / HistoryRecordSize;
  if (records == 0)
    return 0.0f;
  const quint32 bits =
      qFromLittleEndian<quint32>(history.constData() + (records - 1) * HistoryRecordSize + 12);
  float dose = 0.0f;
  std::memcpy(&dose, &bits, sizeof dose);
  return dose;
}
