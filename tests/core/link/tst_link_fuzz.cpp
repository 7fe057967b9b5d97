// Random and truncated bytes into the reply and block parsers: no crash, no
// access outside a buffer (run under the sanitizers), only the defined codes.
#include <QTest>
#include <map>
#include <random>

#include "link/InstrumentProtocol.h"
#include "link/LinkCodes.h"
#include "link/ParameterBlock.h"
#include "tst_link.h"

namespace {

constexpr int Rounds = 400;

// Queues a random mix of real frames, their truncations, busy bytes, noise,
// closes and errors (10060 queued, 10054 once the script runs out).
void QueueChaos(FakeIrdaStack &s, std::mt19937 &random, std::uint8_t code) {
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const int pieces = 1 + pick(12);
  for (int i = 0; i < pieces; ++i) {
    switch (pick(7)) {
    case 0: {
      Bytes data(static_cast<std::size_t>(pick(201)));
      for (auto &b : data)
        b = static_cast<std::uint8_t>(random());
      Bytes frame = Frame(pick(3) == 0 ? 'I' : code, data);
      if (pick(2) == 0) // cut short, else whole
        frame.resize(static_cast<std::size_t>(1 + pick(static_cast<int>(frame.size()))));
      s.Queue(frame);
      break;
    }
    case 1:
      s.Queue({BusyByte});
      break;
    case 2:
      s.QueueClosed();
      break;
    case 3:
      s.QueueError(10060);
      break;
    default: {
      Bytes noise(static_cast<std::size_t>(1 + pick(260)));
      for (auto &b : noise)
        b = static_cast<std::uint8_t>(random());
      s.Queue(noise);
    }
    }
  }
  s.ReceiveErrorWhenEmpty = 10054;
}

// Queues the n, P and T replies of a device-information read, each one
// sometimes damaged: a flipped byte, cut short, led by busy bytes, or in pieces.
void QueueDamagedInfo(FakeIrdaStack &s, std::mt19937 &random) {
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  Bytes p(29);
  for (auto &b : p)
    b = static_cast<std::uint8_t>(random());
  const Bytes replies[] = {
      Frame('n', {'0', '0', '1', '2', '3', '4', '5', 0}), Frame('P', p),
      Frame('T', {static_cast<std::uint8_t>(1 + pick(31)), static_cast<std::uint8_t>(1 + pick(12)),
                  0xDA, 0x07, static_cast<std::uint8_t>(pick(24)), 0, 0})};
  for (Bytes reply : replies) {
    switch (pick(6)) {
    case 0:
      reply[static_cast<std::size_t>(pick(static_cast<int>(reply.size())))] ^=
          static_cast<std::uint8_t>(1 + pick(255));
      break;
    case 1:
      reply.resize(static_cast<std::size_t>(1 + pick(static_cast<int>(reply.size()))));
      s.Queue(reply);
      s.QueueClosed();
      continue;
    case 2:
      reply.insert(reply.begin(), static_cast<std::size_t>(1 + pick(3)), BusyByte);
      break;
    case 3: {
      const auto cut = static_cast<std::ptrdiff_t>(1 + pick(static_cast<int>(reply.size()) - 1));
      s.Queue(Bytes(reply.begin(), reply.begin() + cut));
      s.Queue(Bytes(reply.begin() + cut, reply.end()));
      continue;
    }
    default:
      break;
    }
    s.Queue(reply);
  }
}

bool Defined(int result) {
  return result == 0 || result == -1 || result == 10060 || result == 10054;
}

} // namespace

void TestLink::fuzzExchangeReplies() {
  std::mt19937 random(4418);
  std::map<int, int> seen; // result -> count, so the rounds reach every path
  for (int round = 0; round < Rounds; ++round) {
    FakeLink f;
    QueueChaos(f.fake(), random, 'P');
    const auto capacity = static_cast<std::size_t>(5 + random() % 40);
    Bytes area(capacity);
    int replyLength = static_cast<int>(1 + random() % capacity);
    const Bytes request{0x55, 0x04, 0x50, 0x01, 0xEE};
    const int result = ExchangeFrame(f.link, 100, request, area, replyLength);
    QVERIFY2(Defined(result), qPrintable(QString::number(result)));
    QVERIFY(replyLength >= 1 && replyLength <= static_cast<int>(capacity));
    ++seen[result];

    FakeLink g;
    QueueDamagedInfo(g.fake(), random);
    DEVICE_PARAMS record;
    const int info = ReadDeviceInfo(g.link, 100, record);
    QVERIFY(info == 0 || info == -1 || info == -3);
    ++seen[100 + info];
  }
  for (int reached : {0, -1, 100, 99, 97})
    QVERIFY2(seen[reached] > 0, qPrintable(QString::number(reached)));
}

void TestLink::fuzzHistoryBlocks() {
  std::mt19937 random(266340);
  std::map<int, int> seen;
  for (int round = 0; round < Rounds; ++round) {
    FakeLink f;
    QueueChaos(f.fake(), random, 'H');
    Bytes area(random() % 3 == 0 ? 0 : static_cast<std::size_t>(random() % 2000));
    int length = -5;
    const int result = ReadHistory(f.link, 100, area, length, nullptr);
    QVERIFY2(Defined(result), qPrintable(QString::number(result)));
    QVERIFY(length >= 0 && length <= static_cast<int>(area.size()));
    ++seen[result];
  }
  QVERIFY(seen[0] > 0 && seen[-1] > 0);
}

void TestLink::fuzzDecoders() {
  std::mt19937 random(1899);
  for (int round = 0; round < Rounds * 4; ++round) {
    const auto size = static_cast<std::size_t>(random() % 40);
    Bytes reply(size); // exact size
    for (auto &b : reply)
      b = static_cast<std::uint8_t>(random());
    if (size > 1 && random() % 2) // often a valid checksum
      reply.back() = FrameChecksum(reply.data(), static_cast<int>(size - 1));
    const int length = static_cast<int>(size);
    DEVICE_PARAMS record;
    double when = 0;
    const bool params = DecodeParameterReply(reply.data(), length, record);
    QVERIFY(!params || size == 34);
    const int time = DecodeActivationReply(reply.data(), length, record);
    QVERIFY(time == 0 || time == -1 || time == -3);
    QCOMPARE(DecodeActivationTime(reply.data(), length, when), time == 0);
    (void)ParseDeviceNumber(reply.data(), std::min(length, 7));
    std::int32_t number = 0;
    if (ParseInstrumentNumber(reply.data(), std::min(length, 7), number))
      QVERIFY(number >= MinDeviceNumber && number <= MaxDeviceNumber);
  }
}
