// The instrument number typed or chosen in the history filter.
#include "FuzzTargets.h"
#include "history/HistoryFilter.h"

int FuzzNumbers(const std::uint8_t *data, std::size_t size) {
  const auto *chars = reinterpret_cast<const char *>(data);
  const auto length = static_cast<qsizetype>(std::min<std::size_t>(size, 4096));
  ParseDeviceNumber(QString::fromUtf8(chars, length));
  ParseDeviceNumber(QString::fromLatin1(chars, length));
  return 0;
}
