#include "HistoryGenerator.h"

#include "InstrumentState.h"

#include <QRandomGenerator>
#include <QtEndian>
#include <array>
#include <cmath>
#include <cstring>

namespace {

class Recorder {
public:
  Recorder(int events, const QDateTime &start, quint32 seed)
      : wanted(events), clock(start), random(seed) {
    out.reserve(qsizetype(events) * HistoryRecordSize);
  }

  bool full() const { return count >= wanted; }

  // Advances the clock and accumulates the dose received meanwhile at the background rate.
  void pass(qint64 minutes) {
    clock = clock.addSecs(minutes * 60);
    accumulate(background * float(minutes) / 60.0f);
  }

  void accumulate(float dose) {
    float next = de + dose;
    if (!(next > de))
      next = std::nextafter(de, 1.0f);
    de = next;
  }

  void record(quint8 kind, float rate, quint16 channel) {
    if (full())
      return;
    char bytes[HistoryRecordSize] = {};
    const QDate date = clock.date();
    const QTime time = clock.time();
    bytes[0] = char(date.day());
    bytes[1] = char(date.month());
    bytes[2] = char(date.year() - 2000);
    bytes[3] = char(time.hour());
    bytes[4] = char(time.minute());
    bytes[5] = char(kind);
    putFloat(bytes + 6, rate);
    qToLittleEndian<quint16>(channel, bytes + 10);
    putFloat(bytes + 12, de);
    qToLittleEndian<quint32>(quint32(count), bytes + 16);
    out.append(bytes, HistoryRecordSize);
    ++count;
    pass(1); // two records never share a minute
  }

  float backgroundRate() {
    background = float(0.08e-6 + random.bounded(0.27e-6));
    return background;
  }

  int between(int low, int high) { return low + int(random.bounded(high - low + 1)); }

  QByteArray out;
  float de = 0.0f;

private:
  static void putFloat(char *at, float value) {
    quint32 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian<quint32>(bits, at);
  }

  int wanted;
  int count = 0;
  QDateTime clock;
  QRandomGenerator random;
  float background = 0.15e-6f;
};

} // namespace

GeneratedHistory GenerateHistory(int events, const QDateTime &start, quint32 seed) {
  events = qBound(0, events, HistoryAreaSize / HistoryRecordSize);
  Recorder recorder(events, QDateTime(start.date(), start.time(), Qt::UTC), seed);
  // Alarms come from a bag so that every kind shows up early and keeps showing up.
  const std::array<quint8, 5> alarmKinds{KindGamma, KindPhosphorum, KindTime, KindArsenium,
                                         KindDose};
  std::size_t nextAlarm = 0;
  int session = 0;
  while (!recorder.full()) {
    ++session;
    recorder.record(KindSwitchOn, recorder.backgroundRate(), 0);
    const int alarms = recorder.between(1, 4);
    for (int i = 0; i < alarms; ++i) {
      recorder.pass(recorder.between(5, 180));
      const quint8 kind = alarmKinds[nextAlarm++ % alarmKinds.size()];
      switch (kind) {
      case KindGamma: {
        const float rate = float(recorder.between(12, 900)) * 1e-6f;
        recorder.accumulate(rate * float(recorder.between(1, 10)) / 60.0f);
        recorder.record(kind, rate, 0);
        break;
      }
      case KindPhosphorum:
      case KindArsenium:
        recorder.record(kind, recorder.backgroundRate(), quint16(recorder.between(40, 4000)));
        break;
      default:
        recorder.record(kind, recorder.backgroundRate(), 0);
        break;
      }
    }
    recorder.pass(recorder.between(30, 600));
    recorder.record(session % 5 == 0 ? KindBattery : KindSwitchOff, recorder.backgroundRate(), 0);
    recorder.pass(recorder.between(8 * 60, 40 * 60));
  }
  return {recorder.out, LastRecordDose(recorder.out)};
}
