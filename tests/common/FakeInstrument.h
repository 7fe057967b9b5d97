#pragma once
// An instrument behind the fake IrDA stack: it answers every command frame the
// program sends, and a test may replace the answer to any command.
#include <QByteArray>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "FakeIrdaStack.h"
#include "link/InstrumentProtocol.h"

using Bytes = std::vector<std::uint8_t>;

// A reply frame: 55, L, code, 01, data, checksum.
inline Bytes Frame(std::uint8_t code, const Bytes &data) {
  Bytes f{FrameStart, static_cast<std::uint8_t>(4 + data.size()), code, 0x01};
  f.reserve(f.size() + data.size() + 1);
  f.insert(f.end(), data.begin(), data.end());
  f.push_back(FrameChecksum(f.data(), static_cast<int>(f.size())));
  return f;
}

// One 20-byte history record.
inline Bytes Record(int day, int month, int year2000, int hour, int minute, int kind,
                    float rate = 0, int channel = 0, float dose = 0) {
  Bytes r(20, 0);
  r[0] = static_cast<std::uint8_t>(day);
  r[1] = static_cast<std::uint8_t>(month);
  r[2] = static_cast<std::uint8_t>(year2000);
  r[3] = static_cast<std::uint8_t>(hour);
  r[4] = static_cast<std::uint8_t>(minute);
  r[5] = static_cast<std::uint8_t>(kind);
  std::memcpy(&r[6], &rate, 4);
  r[10] = static_cast<std::uint8_t>(channel & 0xFF);
  r[11] = static_cast<std::uint8_t>(channel >> 8);
  std::memcpy(&r[12], &dose, 4);
  return r;
}

// A P reply with recognisable settings.
inline Bytes ParameterReply() {
  Bytes data(29);
  for (std::size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<std::uint8_t>(0x60 + i);
  const float der = 0.0025f, de = 0.5f;
  const std::uint16_t delay = 25, interval = 60;
  std::memcpy(&data[0], &der, 4);
  std::memcpy(&data[4], &delay, 2);
  std::memcpy(&data[12], &interval, 2);
  data[14] = 0x29; // sound, sievert
  std::memcpy(&data[20], &de, 4);
  data[28] = 9;
  return Frame('P', data);
}

class FakeInstrument {
public:
  std::string Number = "0004418";
  Bytes Activation{15, 3, 0xE8, 0x07, 8, 30, 0}; // 15.03.2024 08:30:00
  Bytes History;
  std::size_t BlockSize = 60;
  // Every command letter received, in order.
  std::string Commands;
  // Answers that replace the instrument's own; return true when handled.
  std::map<char, std::function<bool(FakeIrdaStack &)>> Custom;
  // Called with every command letter before it is answered.
  std::function<void(char)> OnCommand;

  void Append(const Bytes &record) { History.insert(History.end(), record.begin(), record.end()); }

  void Attach(FakeIrdaStack &stack) {
    stack.Responder = [this](std::span<const std::uint8_t> sent, FakeIrdaStack &s) {
      Answer(sent, s);
    };
  }

  void Answer(std::span<const std::uint8_t> sent, FakeIrdaStack &s) {
    if (sent.size() < 3)
      return;
    const char code = static_cast<char>(sent[2]);
    Commands += code;
    if (OnCommand)
      OnCommand(code);
    if (code != 'H')
      offset_ = 0;
    if (auto it = Custom.find(code); it != Custom.end() && it->second && it->second(s))
      return;
    switch (code) {
    case 'n': {
      Bytes digits(Number.begin(), Number.end());
      digits.push_back(0);
      s.Queue(Frame('n', digits));
      break;
    }
    case 'T':
      s.Queue(Frame('T', Activation));
      break;
    case 'P':
      s.Queue(ParameterReply());
      break;
    case 'H': {
      const std::size_t n = std::min(BlockSize, History.size() - offset_);
      Bytes block(History.begin() + static_cast<std::ptrdiff_t>(offset_),
                  History.begin() + static_cast<std::ptrdiff_t>(offset_ + n));
      offset_ += n;
      s.Queue(Frame(offset_ >= History.size() ? 'I' : 'H', block));
      break;
    }
    case 'C':
      History.clear();
      s.Queue(Frame('C', {}));
      break;
    default: // S, A, G
      s.Queue(Frame(static_cast<std::uint8_t>(code), {}));
      break;
    }
  }

private:
  std::size_t offset_ = 0;
};
