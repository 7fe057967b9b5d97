#include "link/ParameterBlock.h"

#include <bit>
#include <cstring>

#include "link/InstrumentProtocol.h"
#include "link/LinkCodes.h"

static_assert(std::endian::native == std::endian::little,
              "the parameter block is copied as little-endian");

namespace {

template <typename T> T Load(const std::uint8_t *at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

template <typename T> void Store(std::uint8_t *at, T value) {
  std::memcpy(at, &value, sizeof value);
}

std::uint8_t WithBit(std::uint8_t byte, std::uint8_t bit, bool set) {
  return static_cast<std::uint8_t>(set ? (byte | bit) : (byte & ~bit));
}

} // namespace

bool DecodeParameterReply(const std::uint8_t *reply, int replyLength, DEVICE_PARAMS &record) {
  if (replyLength != ParamReplyLength || FrameChecksum(reply, 33) != reply[33])
    return false;
  const std::uint8_t flags = reply[18];
  record.DerThreshold = Load<float>(reply + 4);
  record.DisplayOffDelay = Load<std::uint16_t>(reply + 8);
  record.SoundOn = flags & FlagSoundOn;
  record.Loud = flags & FlagLoud;
  record.DisplayOffEnabled = flags & FlagDisplayOff;
  record.UnitSievert = flags & FlagUnitSievert;
  record.ButtonBeep = flags & FlagButtonBeep;
  record.HistoryInterval = Load<std::uint16_t>(reply + 16);
  record.DeThreshold = Load<float>(reply + 24);
  record.ClockCalendar = reply[31] & 0x01;
  record.Brightness = reply[32];
  return true;
}

int DecodeActivationReply(const std::uint8_t *reply, int replyLength, DEVICE_PARAMS &record) {
  if (replyLength != ActivationReplyLength)
    return LinkFailed;
  if (FrameChecksum(reply, 11) != reply[11])
    return LinkBadActivationTime;
  record.ActivationDay = reply[4];
  record.ActivationMonth = reply[5];
  record.ActivationYear = Load<std::uint16_t>(reply + 6);
  record.ActivationHour = reply[8];
  record.ActivationMinute = reply[9];
  record.ActivationSecond = reply[10];
  return DecodeActivationTime(reply, replyLength, record.ActivationTime) ? LinkOk
                                                                         : LinkBadActivationTime;
}

void BuildParameterWriteFrame(const std::uint8_t *p, const DEVICE_PARAMS &record, std::uint8_t *s) {
  std::uint8_t flags = p[18];
  flags = WithBit(flags, FlagSoundOn, record.SoundOn);
  flags = WithBit(flags, FlagDisplayOff, record.DisplayOffEnabled);
  flags = WithBit(flags, FlagUnitSievert, record.UnitSievert);
  if (record.SoundOn) {
    flags = WithBit(flags, FlagLoud, record.Loud);
    flags = WithBit(flags, FlagButtonBeep, record.ButtonBeep);
  }
  const auto brightness = static_cast<std::uint8_t>(record.Brightness & 0xFF);

  s[0] = FrameStart;
  s[1] = ParamWriteFrameLength - 1;
  s[2] = CmdWriteParams;
  s[3] = 0x01;
  Store(s + 4, record.DerThreshold);
  if (record.DisplayOffEnabled)
    Store(s + 8, record.DisplayOffDelay);
  else
    std::memcpy(s + 8, p + 8, 2);
  std::memcpy(s + 10, p + 10, 4);
  Store(s + 14, record.HistoryInterval);
  s[16] = flags;
  s[17] = p[19];
  Store(s + 18, record.DeThreshold);
  s[22] = p[30];
  s[23] = WithBit(p[31], 0x01, record.ClockCalendar);
  s[24] = brightness;
  s[25] = brightness;
  s[26] = FrameChecksum(s, 26);
}

namespace {

// A cancelled exchange stays cancelled and a busy instrument busy; every
// other failure is -1.
int Failed(int result) {
  return result == LinkCancelled || result == LinkBusy ? result : LinkFailed;
}

} // namespace

int ReadDeviceInfo(IrdaTransport &link, IrdaSocket socket, DEVICE_PARAMS &record) {
  if (const int result = ReadDeviceNumber(link, socket, record.DeviceId); result != 0)
    return Failed(result);

  std::uint8_t reply[ParamReplyLength];
  int replyLength = 0;
  if (const int result = ReadParameterFrame(link, socket, reply, replyLength); result != 0)
    return Failed(result);
  if (replyLength != ParamReplyLength || !DecodeParameterReply(reply, replyLength, record))
    return LinkFailed;

  std::uint8_t timeReply[ParamReplyLength];
  if (const int result = ReadActivationFrame(link, socket, timeReply, replyLength); result != 0)
    return Failed(result);
  if (replyLength != ActivationReplyLength)
    return LinkFailed;
  return DecodeActivationReply(timeReply, replyLength, record);
}

int WriteParameters(IrdaTransport &link, IrdaSocket socket, const DEVICE_PARAMS &record) {
  std::uint8_t frame[ParamReplyLength];
  int replyLength = 0;
  if (const int result = ReadParameterFrame(link, socket, frame, replyLength); result != 0)
    return Failed(result);
  if (replyLength != ParamReplyLength)
    return LinkFailed;
  std::uint8_t request[ParamWriteFrameLength];
  BuildParameterWriteFrame(frame, record, request);
  std::uint8_t ack[AckReplyLength];
  int ackLength = AckReplyLength;
  return ExchangeFrame(link, socket, request, ack, ackLength);
}
