// The history record walk over a raw history area.
#include "FuzzTargets.h"
#include "history/HistoryRecord.h"

int FuzzHistory(const std::uint8_t *data, std::size_t size) {
  const int length = static_cast<int>(std::min<std::size_t>(size, 1 << 20));
  double sum = 0;
  WalkHistory(data, length, [&](const HistoryRecord &record, const HistoryEvent &event) {
    sum += record.Time + event.EventValue + event.DEValue;
  });
  // Each record on its own, at every cut.
  HistoryRecord record;
  for (int offset = 0; offset < length && offset < 64; ++offset)
    DecodeHistoryRecord(data + offset, length - offset, record);
  return sum == -1.0 ? 1 : 0; // keeps the walk from being optimised away
}
