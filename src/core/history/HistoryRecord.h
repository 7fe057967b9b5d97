#pragma once
#include <QtGlobal>
#include <cstdint>
#include <optional>

// Event codes of TableHistory.EventType.
enum class HistoryEventType : int {
  GammaAlarm = 1,      // EventValue: dose rate, Sv/h
  PhosphorumAlarm = 2, // EventValue: channel reading
  ArseniumAlarm = 3,   // EventValue: channel reading
  DeviceOnOff = 4,     // EventValue: +1 on, -1 off
  DeviceReceived = 5,  // registration; no values
  DeviceHanded = 6,    // cancelled registration; no values
  TimeAlarm = 7,       // EventValue: dose rate, Sv/h
  DoseAlarm = 8,       // EventValue: dose rate, Sv/h; DEValue is the dose shown
  BatteryOff = 9,      // EventValue: -1
};

// The entry of the interface text table that names an event, or -1 for a code
// the program does not write. Code 4 is entry 17 (on) when its value is above
// 0 or missing (as the history list shows it) and entry 16 (off) otherwise;
// the printed report shows a missing value as an empty text instead.
int HistoryEventTextEntry(int eventType, std::optional<double> eventValue = std::nullopt);

// One record of an instrument's history as it comes off the instrument:
// 20 bytes, little-endian.
//   0 day, 1 month, 2 year since 2000, 3 hour, 4 minute, 5 kind,
//   6..9 dose rate (float, Sv/h), 10..11 channel reading, 12..15 dose (float, Sv),
//   16..19 extra word.
struct HistoryRecord {
  static constexpr int Size = 20;

  double Time = 0.0;  // instrument clock as a day count (seconds always 0)
  float DoseRate = 0; // bit for bit as recorded
  int ChannelValue = 0;
  float Dose = 0; // accumulated dose (DE), bit for bit
  quint32 Extra = 0;
  quint8 Kind = 0;
};

// Decodes the record at `bytes`. False when fewer than 20 bytes are available
// or the date and time fields do not form a real date and time. A record of a
// kind the instrument does not use is accepted; it just gives no event.
bool DecodeHistoryRecord(const std::uint8_t *bytes, int available, HistoryRecord &record);

// The row a record gives in TableHistory, apart from instrument and user.
struct HistoryEvent {
  HistoryEventType Type = HistoryEventType::GammaAlarm;
  double EventValue = 0.0;
  double DEValue = 0.0;
};

// The event of a decoded record; nothing for an unknown kind.
std::optional<HistoryEvent> HistoryEventOf(const HistoryRecord &record);

// Walks a raw history area record by record, in buffer order, and calls
// onEvent(const HistoryRecord &, const HistoryEvent &) for each record that
// decodes and gives an event. A trailing remainder shorter than a record is
// ignored. Returns the number of events.
template <class OnEvent> int WalkHistory(const std::uint8_t *data, int length, OnEvent &&onEvent) {
  int events = 0;
  if (!data)
    return 0;
  HistoryRecord record;
  for (int offset = 0; offset < length; offset += HistoryRecord::Size) {
    if (!DecodeHistoryRecord(data + offset, length - offset, record))
      continue;
    if (const auto event = HistoryEventOf(record)) {
      onEvent(record, *event);
      ++events;
    }
  }
  return events;
}
