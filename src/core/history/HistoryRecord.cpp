#include "history/HistoryRecord.h"

#include "history/DayCount.h"

#include <cstring>

namespace {
quint32 Le32(const std::uint8_t *p) {
  return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}
float FloatBits(const std::uint8_t *p) {
  const quint32 bits = Le32(p);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}
} // namespace

bool DecodeHistoryRecord(const std::uint8_t *bytes, int available, HistoryRecord &record) {
  if (!bytes || available < HistoryRecord::Size)
    return false;
  const int day = bytes[0], month = bytes[1], year = 2000 + bytes[2];
  const int hour = bytes[3], minute = bytes[4];
  if (!QDate::isValid(year, month, day) || !QTime::isValid(hour, minute, 0))
    return false;
  record.Time = DayCountOf(QDate(year, month, day), QTime(hour, minute));
  record.Kind = bytes[5];
  record.DoseRate = FloatBits(bytes + 6);
  record.ChannelValue = bytes[10] | bytes[11] << 8;
  record.Dose = FloatBits(bytes + 12);
  record.Extra = Le32(bytes + 16);
  return true;
}

std::optional<HistoryEvent> HistoryEventOf(const HistoryRecord &r) {
  const double dose = r.Dose;
  switch (r.Kind) {
  case 1:
    return HistoryEvent{HistoryEventType::DeviceOnOff, 1.0, dose};
  case 2:
    return HistoryEvent{HistoryEventType::DeviceOnOff, -1.0, dose};
  case 3:
    return HistoryEvent{HistoryEventType::PhosphorumAlarm, double(r.ChannelValue), dose};
  case 4:
    return HistoryEvent{HistoryEventType::ArseniumAlarm, double(r.ChannelValue), dose};
  case 5:
    return HistoryEvent{HistoryEventType::TimeAlarm, r.DoseRate, dose};
  case 16:
    return HistoryEvent{HistoryEventType::GammaAlarm, r.DoseRate, dose};
  case 32:
    return HistoryEvent{HistoryEventType::DoseAlarm, r.DoseRate, dose};
  case 64:
    return HistoryEvent{HistoryEventType::BatteryOff, -1.0, dose};
  default:
    return std::nullopt;
  }
}

int HistoryEventTextEntry(int eventType, std::optional<double> eventValue) {
  switch (static_cast<HistoryEventType>(eventType)) {
  case HistoryEventType::GammaAlarm:
    return 13;
  case HistoryEventType::PhosphorumAlarm:
    return 14;
  case HistoryEventType::ArseniumAlarm:
    return 15;
  case HistoryEventType::DeviceOnOff:
    return !eventValue || *eventValue > 0 ? 17 : 16;
  case HistoryEventType::DeviceReceived:
    return 21;
  case HistoryEventType::DeviceHanded:
    return 22;
  case HistoryEventType::TimeAlarm:
    return 23;
  case HistoryEventType::DoseAlarm:
    return 18;
  case HistoryEventType::BatteryOff:
    return 19;
  }
  return -1;
}
