// Instrument replies: the fuzz bytes are what the peer sends back, cut into
// pieces, to each command's exchange; the decoders see the replies as well.
#include <array>
#include <memory>

#include "FakeIrdaStack.h"
#include "FuzzTargets.h"
#include "link/DeviceParams.h"
#include "link/HistoryArea.h"
#include "link/InstrumentProtocol.h"
#include "link/IrdaTransport.h"
#include "link/ParameterBlock.h"

namespace {

// Byte 0 picks the command. Then each piece is one length byte and that many
// bytes; length 0 is the peer closing and 0xFF a receive error. When the
// pieces run out, receives time out.
void QueuePieces(FakeIrdaStack &stack, const std::uint8_t *data, std::size_t size) {
  std::size_t at = 0;
  while (at < size) {
    const std::size_t length = data[at++];
    if (length == 0) {
      stack.QueueClosed();
    } else if (length == 0xFF) {
      stack.QueueError(10054);
    } else {
      const std::size_t take = std::min(length, size - at);
      stack.Queue(std::vector<std::uint8_t>(data + at, data + at + take));
      at += take;
    }
  }
}

struct Progress : HistoryProgress {
  int value = 0, max = 100;
  void setRange(int, int maximum) override { max = maximum; }
  int position() const override { return value; }
  int maximum() const override { return max; }
  void setPosition(int p) override { value = p; }
  void step() override { value = std::min(value + 10, max); }
  void repaint() override {}
};

} // namespace

int FuzzLink(const std::uint8_t *data, std::size_t size) {
  if (size < 1)
    return 0;
  auto stack = std::make_shared<FakeIrdaStack>();
  IrdaTransport link(stack);
  link.Sleep = [](int) {};
  QueuePieces(*stack, data + 1, size - 1);
  const IrdaSocket socket = 100;
  switch (data[0] % 6) {
  case 0: {
    const std::uint8_t request[] = {0x55, 0x04, CmdReadParams, 0x01, 0xEE};
    std::array<std::uint8_t, ParamReplyLength> reply{};
    int length = ParamReplyLength; // the length expected
    if (ExchangeFrame(link, socket, request, reply, length) == 0) {
      DEVICE_PARAMS params;
      DecodeParameterReply(reply.data(), length, params);
    }
    break;
  }
  case 1: {
    static HistoryArea area; // large; kept between runs
    Progress progress;
    ReadHistory(link, socket, area.HistoryData, area.HistoryLength, &progress);
    break;
  }
  case 2: {
    DEVICE_PARAMS params;
    ReadDeviceInfo(link, socket, params);
    break;
  }
  case 3: {
    std::int32_t number = 0;
    ReadDeviceNumber(link, socket, number);
    ClearHistory(link, socket);
    ClearDose(link, socket);
    WriteActivationTime(link, socket, 45000.5);
    break;
  }
  default: {
    // The decoders straight on the bytes, at every length.
    const auto *reply = data + 1;
    const int length = static_cast<int>(std::min<std::size_t>(size - 1, 4096));
    DEVICE_PARAMS params;
    DecodeParameterReply(reply, length, params);
    DecodeActivationReply(reply, length, params);
    double when = 0;
    DecodeActivationTime(reply, length, when);
    ParseDeviceNumber(reply, length);
    OffersNineWire(reply, length);
    break;
  }
  }
  return 0;
}
