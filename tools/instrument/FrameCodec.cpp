#include "FrameCodec.h"

namespace {
// Longest request the instrument accepts (the parameter write is 27 bytes).
constexpr int MaxRequestLength = 64;
} // namespace

quint8 FrameChecksum(const char *bytes, int count) {
  quint8 crc = 0;
  for (int i = 0; i < count; ++i) {
    crc ^= quint8(bytes[i]);
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 1) ? quint8((crc >> 1) ^ 0x8C) : quint8(crc >> 1);
  }
  return crc;
}

QByteArray BuildFrame(char code, const QByteArray &data) {
  QByteArray frame;
  frame.reserve(FrameHeaderSize + data.size() + 1);
  frame.append(FrameStart);
  frame.append(char(FrameHeaderSize + data.size()));
  frame.append(code);
  frame.append(char(0x01));
  frame.append(data);
  frame.append(char(FrameChecksum(frame.constData(), int(frame.size()))));
  return frame;
}

std::optional<RequestFrame> TakeRequestFrame(QByteArray &buffer, int *droppedBytes) {
  int dropped = 0;
  std::optional<RequestFrame> result;
  while (!buffer.isEmpty()) {
    if (buffer.at(0) != FrameStart) {
      buffer.remove(0, 1);
      ++dropped;
      continue;
    }
    if (buffer.size() < 2)
      break;
    const int last = quint8(buffer.at(1));
    if (last < FrameHeaderSize || last >= MaxRequestLength) {
      buffer.remove(0, 1);
      ++dropped;
      continue;
    }
    if (buffer.size() < last + 1)
      break;
    RequestFrame frame;
    frame.bytes = buffer.left(last + 1);
    buffer.remove(0, last + 1);
    frame.checksumOk = FrameChecksum(frame.bytes.constData(), last) == quint8(frame.bytes.at(last));
    result = frame;
    break;
  }
  if (droppedBytes)
    *droppedBytes = dropped;
  return result;
}
