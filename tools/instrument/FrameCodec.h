#pragma once
// Instrument frames: 0x55, L (index of the checksum byte), code, 0x01, data, CRC-8/MAXIM.

#include <QByteArray>
#include <optional>

constexpr char FrameStart = 0x55;
constexpr char BusyByte = char(0xEE);
constexpr int FrameHeaderSize = 4;

// CRC-8/MAXIM (Dallas 1-Wire): reflected polynomial 0x8C, start 0, no final XOR.
quint8 FrameChecksum(const char *bytes, int count);

// A whole frame: header, data and checksum.
QByteArray BuildFrame(char code, const QByteArray &data);

// Takes the next well-formed request out of a receive buffer. Bytes that cannot start a
// frame are dropped; a frame whose checksum is wrong is dropped whole and reported as such.
struct RequestFrame {
  QByteArray bytes;
  bool checksumOk = false;
  char code() const { return bytes.at(2); }
};
std::optional<RequestFrame> TakeRequestFrame(QByteArray &buffer, int *droppedBytes = nullptr);
