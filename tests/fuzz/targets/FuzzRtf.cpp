// The rich-text reader.
#include "FuzzTargets.h"
#include "rtf/RtfReader.h"

int FuzzRtf(const std::uint8_t *data, std::size_t size) {
  ReadRtf(QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
  return 0;
}
