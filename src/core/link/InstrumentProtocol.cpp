#include "link/InstrumentProtocol.h"

#include <QDate>
#include <QTime>
#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "link/HistoryArea.h"
#include "link/LinkCodes.h"

namespace {

constexpr std::uint8_t HistoryRequest[] = {0x55, 0x04, 0x48, 0x01, 0x74};
const QDate DayZero(1899, 12, 30);

// Sends one of the fixed five-byte requests and expects `expected` bytes back.
int ExchangeFixed(IrdaTransport &link, IrdaSocket socket, std::uint8_t command,
                  std::span<std::uint8_t> reply, int expected, int &replyLength) {
  std::uint8_t request[5];
  BuildRequestFrame(command, {}, request);
  if (reply.size() < static_cast<std::size_t>(expected))
    return LinkFailed;
  replyLength = expected;
  return ExchangeFrame(link, socket, request, reply, replyLength);
}

IrdaTransport::Clock::time_point ReplyDeadline(IrdaTransport &link) {
  return link.Now() + std::chrono::milliseconds(link.ReplyLimitMs);
}

int ExchangeForAck(IrdaTransport &link, IrdaSocket socket, std::uint8_t command) {
  std::uint8_t reply[AckReplyLength];
  int replyLength = 0;
  return ExchangeFixed(link, socket, command, reply, AckReplyLength, replyLength);
}

} // namespace

std::uint8_t FrameChecksum(const std::uint8_t *bytes, int count) {
  std::uint8_t crc = 0;
  for (int i = 0; i < count; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 1) ? static_cast<std::uint8_t>((crc >> 1) ^ 0x8C)
                      : static_cast<std::uint8_t>(crc >> 1);
  }
  return crc;
}

int BuildRequestFrame(std::uint8_t command, std::span<const std::uint8_t> data,
                      std::uint8_t *frame) {
  const int checksumAt = 4 + static_cast<int>(data.size());
  frame[0] = FrameStart;
  frame[1] = static_cast<std::uint8_t>(checksumAt);
  frame[2] = command;
  frame[3] = 0x01;
  if (!data.empty())
    std::memcpy(frame + 4, data.data(), data.size());
  frame[checksumAt] = FrameChecksum(frame, checksumAt);
  return checksumAt + 1;
}

int ExchangeFrame(IrdaTransport &link, IrdaSocket socket, std::span<const std::uint8_t> request,
                  std::span<std::uint8_t> reply, int &replyLength) {
  const int capacity = static_cast<int>(reply.size());
  if (replyLength < 1 || replyLength > capacity)
    return LinkFailed;
  int busyAnswers = 0;
  int attempts = 0;
  for (;;) {
    int result = link.IrdaSend(socket, request.data(), static_cast<int>(request.size()));
    if (result != 0)
      return result;

    const auto deadline = ReplyDeadline(link);
    int collected = 0;
    int expected = replyLength;
    bool lengthKnown = false;
    bool busy = false;
    while (collected < expected) {
      std::uint8_t *into = reply.data() + collected;
      int count = expected - collected;
      result = link.IrdaReceive(socket, into, count, deadline);
      if (result != 0)
        return result;
      if (count == 0)
        break; // the link delivered nothing: this attempt is incomplete
      if (collected == 0) {
        if (count == 1 && into[0] == BusyByte) {
          busy = true;
          break;
        }
        // Stray busy bytes in front of the reply.
        int stray = 0;
        while (stray < count && into[stray] == BusyByte)
          ++stray;
        if (stray == count) {
          if (++busyAnswers > MaxBusyAnswers)
            return LinkBusy;
          continue;
        }
        std::memmove(into, into + stray, static_cast<std::size_t>(count - stray));
        count -= stray;
      }
      collected += count;
      if (!lengthKnown && collected >= 2) {
        const int announced = reply[1] + 1;
        if (announced > capacity)
          return LinkFailed;
        lengthKnown = true;
        expected = announced;
        replyLength = announced;
      }
    }
    if (busy) {
      if (++busyAnswers > MaxBusyAnswers)
        return LinkBusy;
      continue;
    }
    if (collected >= expected)
      return LinkOk;
    if (++attempts >= MaxIncompleteAttempts)
      return LinkFailed;
  }
}

std::int32_t ParseDeviceNumber(const std::uint8_t *chars, int count) {
  int at = 0;
  auto blank = [](std::uint8_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (at < count && blank(chars[at]))
    ++at;
  bool negative = false;
  if (at < count && (chars[at] == '+' || chars[at] == '-'))
    negative = chars[at++] == '-';
  // Longer digit runs than a number can hold read as the nearest limit.
  constexpr std::int64_t limit = std::int64_t(INT32_MAX) + 1;
  std::int64_t value = 0;
  for (; at < count && chars[at] >= '0' && chars[at] <= '9'; ++at)
    value = std::min(value * 10 + (chars[at] - '0'), limit);
  return static_cast<std::int32_t>(negative ? -value : std::min<std::int64_t>(value, INT32_MAX));
}

bool ParseInstrumentNumber(const std::uint8_t *chars, int count, std::int32_t &number) {
  auto blank = [](std::uint8_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  auto digit = [](std::uint8_t c) { return c >= '0' && c <= '9'; };
  int at = 0;
  while (at < count && blank(chars[at]))
    ++at;
  if (at < count && (chars[at] == '+' || chars[at] == '-'))
    ++at;
  const int digitsFrom = at;
  while (at < count && digit(chars[at]))
    ++at;
  if (at == digitsFrom)
    return false;
  for (; at < count; ++at)
    if (!blank(chars[at]) && chars[at] != 0)
      return false;
  const std::int32_t value = ParseDeviceNumber(chars, count);
  if (value < MinDeviceNumber || value > MaxDeviceNumber)
    return false;
  number = value;
  return true;
}

int ReadDeviceNumber(IrdaTransport &link, IrdaSocket socket, std::int32_t &number) {
  std::uint8_t reply[NumberReplyLength];
  int replyLength = 0;
  const int result =
      ExchangeFixed(link, socket, CmdReadNumber, reply, NumberReplyLength, replyLength);
  if (result != 0)
    return result;
  // The seven characters and the checksum after them must all be there.
  const int checksumAt = replyLength - 1;
  if (checksumAt < 11 || FrameChecksum(reply, checksumAt) != reply[checksumAt])
    return LinkFailed;
  return ParseInstrumentNumber(reply + 4, 7, number) ? LinkOk : LinkBadDeviceNumber;
}

int ReadParameterFrame(IrdaTransport &link, IrdaSocket socket, std::span<std::uint8_t> reply,
                       int &replyLength) {
  return ExchangeFixed(link, socket, CmdReadParams, reply, ParamReplyLength, replyLength);
}

int ReadActivationFrame(IrdaTransport &link, IrdaSocket socket, std::span<std::uint8_t> reply,
                        int &replyLength) {
  return ExchangeFixed(link, socket, CmdReadActivation, reply, ActivationReplyLength, replyLength);
}

bool InstrumentDateTimeToDays(const InstrumentDateTime &p, double &days) {
  const QDate date(p.Year, p.Month, p.Day);
  if (p.Year < 1 || p.Year > 65535 || !date.isValid() ||
      !QTime::isValid(p.Hour, p.Minute, p.Second, 0))
    return false;
  days = static_cast<double>(DayZero.daysTo(date)) +
         (p.Hour * 3600 + p.Minute * 60 + p.Second) / 86400.0;
  return true;
}

bool DaysToInstrumentDateTime(double days, InstrumentDateTime &p) {
  if (!std::isfinite(days) || std::fabs(days) > 3.0e7)
    return false;
  double whole = std::floor(days);
  auto ms = static_cast<std::int64_t>(std::llround((days - whole) * 86400000.0));
  if (ms >= 86400000) {
    whole += 1;
    ms -= 86400000;
  }
  const QDate date = DayZero.addDays(static_cast<qint64>(whole));
  if (!date.isValid() || date.year() < 1 || date.year() > 65535)
    return false;
  const auto seconds = static_cast<int>(ms / 1000);
  p = {date.year(), date.month(), date.day(), seconds / 3600, seconds / 60 % 60, seconds % 60};
  return true;
}

bool DecodeActivationTime(const std::uint8_t *reply, int replyLength, double &dateTime) {
  if (replyLength != ActivationReplyLength || FrameChecksum(reply, 11) != reply[11])
    return false;
  const InstrumentDateTime parts{
      reply[6] | (reply[7] << 8), reply[5], reply[4], reply[8], reply[9], reply[10]};
  return InstrumentDateTimeToDays(parts, dateTime);
}

int WriteActivationTime(IrdaTransport &link, IrdaSocket socket, double dateTime) {
  InstrumentDateTime p;
  if (!DaysToInstrumentDateTime(dateTime, p))
    return LinkFailed;
  const std::uint8_t group[7] = {
      static_cast<std::uint8_t>(p.Day),         static_cast<std::uint8_t>(p.Month),
      static_cast<std::uint8_t>(p.Year & 0xFF), static_cast<std::uint8_t>(p.Year >> 8),
      static_cast<std::uint8_t>(p.Hour),        static_cast<std::uint8_t>(p.Minute),
      static_cast<std::uint8_t>(p.Second)};
  std::uint8_t request[12];
  BuildRequestFrame(CmdSetActivation, group, request);
  std::uint8_t reply[AckReplyLength];
  int replyLength = AckReplyLength;
  return ExchangeFrame(link, socket, request, reply, replyLength);
}

namespace {

// Sends the H request and collects one whole block into `block`: a lone 0xEE
// is a busy answer and the request is sent again (at most 20 times); the
// block must be complete within the link's reply limit and carry a sound
// checksum. `blockLength` is the block's own length (byte 1 + 1).
int ReadHistoryBlock(IrdaTransport &link, IrdaSocket socket, std::uint8_t *block,
                     int &blockLength) {
  int busyAnswers = 0;
  for (;;) {
    int result = link.IrdaSend(socket, HistoryRequest, sizeof HistoryRequest);
    if (result != 0)
      return result;
    const auto deadline = ReplyDeadline(link);
    int got = 0;
    blockLength = HistoryBlockSize;
    bool lengthKnown = false;
    bool busy = false;
    while (got < blockLength) {
      int count = blockLength - got;
      result = link.IrdaReceive(socket, block + got, count, deadline);
      if (result != 0)
        return result;
      if (count == 0)
        return LinkFailed; // link ended before the last block
      if (got == 0 && count == 1 && block[0] == BusyByte) {
        busy = true;
        break;
      }
      got += count;
      if (!lengthKnown && got >= 2) {
        const int l = block[1];
        if (l < MinHistoryBlockL || l > MaxHistoryBlockL)
          return LinkFailed;
        lengthKnown = true;
        blockLength = l + 1;
      }
    }
    if (!busy) {
      const int checksumAt = blockLength - 1;
      return FrameChecksum(block, checksumAt) == block[checksumAt] ? LinkOk : LinkFailed;
    }
    if (++busyAnswers > MaxBusyAnswers)
      return LinkBusy;
  }
}

int ReadHistoryBlocks(IrdaTransport &link, IrdaSocket socket, std::span<std::uint8_t> data,
                      int &length, HistoryProgress *progress) {
  const std::size_t room = std::min<std::size_t>(data.size(), HistoryArea::Capacity);
  std::uint8_t block[HistoryBlockSize];
  for (;;) {
    int blockLength = 0;
    if (const int result = ReadHistoryBlock(link, socket, block, blockLength); result != 0)
      return result;

    const int dataBytes = blockLength - 5;
    const bool more = block[2] == CmdReadHistory;
    if (more && dataBytes == 0)
      return LinkFailed; // promises more but brings nothing: it would never end
    if (static_cast<std::size_t>(length) + static_cast<std::size_t>(dataBytes) > room)
      return LinkFailed; // more history than the area holds
    if (dataBytes > 0)
      std::memcpy(data.data() + length, block + 4, static_cast<std::size_t>(dataBytes));
    length += dataBytes;

    if (progress) {
      if (progress->position() >= progress->maximum())
        progress->setPosition(0);
      progress->step();
      progress->repaint();
      if (link.ProcessMessages)
        link.ProcessMessages();
    }
    if (!more)
      return LinkOk;
  }
}

} // namespace

int ReadHistory(IrdaTransport &link, IrdaSocket socket, std::span<std::uint8_t> data, int &length,
                HistoryProgress *progress) {
  length = 0;
  const int result = ReadHistoryBlocks(link, socket, data, length, progress);
  if (result != LinkOk) {
    length = 0; // nothing of a failed transfer is a history
    return result;
  }
  if (progress) {
    progress->setPosition(progress->maximum());
    progress->repaint();
  }
  return LinkOk;
}

int ClearHistory(IrdaTransport &link, IrdaSocket socket) {
  return ExchangeForAck(link, socket, CmdClearHistory);
}

int ClearDose(IrdaTransport &link, IrdaSocket socket) {
  return ExchangeForAck(link, socket, CmdClearDose);
}
