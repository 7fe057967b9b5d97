// Damaged replies, busy and endless histories, slow instruments and Cancel,
// over the fake stack and its fake clock.
#include <QTest>
#include <climits>

#include "link/HistoryArea.h"
#include "link/InstrumentProtocol.h"
#include "link/LinkCodes.h"
#include "link/ParameterBlock.h"
#include "tst_link.h"

namespace {

Bytes Block(std::uint8_t code, std::size_t dataBytes, std::uint8_t fill) {
  return Frame(code, Bytes(dataBytes, fill));
}

int Read(FakeLink &f, std::span<std::uint8_t> area, int &length) {
  length = -7;
  return ReadHistory(f.link, 100, area, length, nullptr);
}

// Queues `frame` one byte at a time, each after `gapMs` of silence.
void Trickle(FakeIrdaStack &s, const Bytes &frame, int gapMs) {
  for (std::uint8_t byte : frame)
    s.QueueAfter(gapMs, {byte});
}

} // namespace

void TestLink::damagedNumberReplyFails() {
  Bytes reply = Frame('n', {'4', '4', '1', '8', '1', '2', '3', 0x01});
  std::int32_t number = -99;
  {
    FakeLink f; // a digit changed after the checksum was made
    Bytes damaged = reply;
    damaged[4] ^= 0x01;
    f.fake().Queue(damaged);
    QCOMPARE(ReadDeviceNumber(f.link, 100, number), LinkFailed);
  }
  {
    FakeLink f; // the checksum itself spoiled
    Bytes damaged = reply;
    damaged.back() ^= 0x5A;
    f.fake().Queue(damaged);
    QCOMPARE(ReadDeviceNumber(f.link, 100, number), LinkFailed);
  }
  QCOMPARE(number, -99);
  {
    FakeLink f; // without the byte after the digits: checksum at byte 11
    f.fake().Queue(Frame('n', {'4', '4', '1', '8', '1', '2', '3'}));
    QCOMPARE(ReadDeviceNumber(f.link, 100, number), LinkOk);
    QCOMPARE(number, 4418123);
  }
}

void TestLink::damagedHistoryBlockFailsTheTransfer_data() {
  QTest::addColumn<int>("damagedBlock"); // 0-based
  QTest::addColumn<int>("damagedByte");  // index in the block; -1: the checksum
  QTest::newRow("first block, data") << 0 << 4;
  QTest::newRow("middle block, data") << 1 << 120;
  QTest::newRow("middle block, checksum") << 1 << -1;
  QTest::newRow("last block, code") << 2 << 2;
  QTest::newRow("last block, data") << 2 << 50;
}

void TestLink::damagedHistoryBlockFailsTheTransfer() {
  QFETCH(int, damagedBlock);
  QFETCH(int, damagedByte);
  FakeLink f;
  for (int b = 0; b < 3; ++b) {
    Bytes block = Block(b == 2 ? 'I' : 'H', 200, static_cast<std::uint8_t>(b + 1));
    if (b == damagedBlock)
      block[damagedByte < 0 ? block.size() - 1 : static_cast<std::size_t>(damagedByte)] ^= 0x10;
    f.fake().Queue(block);
  }
  HistoryArea area;
  int length = 0;
  QCOMPARE(Read(f, area.HistoryData, length), LinkFailed);
  QCOMPARE(length, 0);
  QCOMPARE(f.fake().Sends.size(), std::size_t(damagedBlock + 1)); // nothing asked after it
}

void TestLink::historyBusyAnswersAreWaitedOut() {
  for (int busy : {20, 21}) {
    FakeLink f;
    int sentBlocks = 0, busyLeft = busy;
    f.fake().Responder = [&](std::span<const std::uint8_t>, FakeIrdaStack &s) {
      if (busyLeft-- > 0) {
        s.Queue({BusyByte});
        return;
      }
      busyLeft = busy;
      ++sentBlocks;
      s.Queue(Block(sentBlocks == 3 ? 'I' : 'H', 100, static_cast<std::uint8_t>(sentBlocks)));
    };
    HistoryArea area;
    int length = 0;
    const int result = Read(f, area.HistoryData, length);
    if (busy <= MaxBusyAnswers) {
      QCOMPARE(result, LinkOk);
      QCOMPARE(length, 300);
      QCOMPARE(area.HistoryData[299], 3);
      QCOMPARE(f.fake().Sends.size(), std::size_t(3 * (busy + 1)));
    } else {
      QCOMPARE(result, LinkBusy);
      QCOMPARE(length, 0);
      QCOMPARE(f.fake().Sends.size(), std::size_t(MaxBusyAnswers + 1));
    }
    QCOMPARE(f.fake().ClockMs, 0); // nothing was waited for
  }
}

void TestLink::historyThatCannotEndFails() {
  {
    // Blocks that promise more but carry nothing.
    FakeLink f;
    f.fake().Responder = [](std::span<const std::uint8_t>, FakeIrdaStack &s) {
      s.Queue(Block('H', 0, 0));
    };
    HistoryArea area;
    int length = 0;
    QCOMPARE(Read(f, area.HistoryData, length), LinkFailed);
    QCOMPARE(f.fake().Sends.size(), std::size_t(1));
  }
  {
    // More history than the instrument's area, even into a larger buffer.
    FakeLink f;
    f.fake().Responder = [](std::span<const std::uint8_t>, FakeIrdaStack &s) {
      s.Queue(Block('H', 200, 0x44));
    };
    Bytes area(HistoryArea::Capacity + 1000);
    int length = 0;
    QCOMPARE(Read(f, area, length), LinkFailed);
    QCOMPARE(length, 0);
    QCOMPARE(f.fake().Sends.size(), std::size_t(HistoryArea::Capacity / 200 + 1));
  }
}

// A reply is bounded as a whole; silence keeps the socket's own time-out.
void TestLink::slowRepliesEndAtTheReplyLimit() {
  HistoryArea area;
  int length = 0;
  {
    FakeLink f; // one byte a second: 205 s of block
    Trickle(f.fake(), Block('I', 200, 1), 1000);
    QCOMPARE(Read(f, area.HistoryData, length), WsaTimedOut);
    QCOMPARE(f.fake().ClockMs, 10000);
    QCOMPARE(length, 0);
  }
  {
    FakeLink f; // three pieces, 3 s apart: within the limit
    const Bytes block = Block('I', 200, 1);
    f.fake().QueueAfter(3000, Bytes(block.begin(), block.begin() + 50));
    f.fake().QueueAfter(3000, Bytes(block.begin() + 50, block.begin() + 100));
    f.fake().QueueAfter(3000, Bytes(block.begin() + 100, block.end()));
    QCOMPARE(Read(f, area.HistoryData, length), LinkOk);
    QCOMPARE(length, 200);
    for (int wait : f.fake().WaitTimes)
      QVERIFY(wait <= IrdaTransport::WaitSliceMs);
  }
  {
    FakeLink f; // each reply to a command is bounded the same way
    Trickle(f.fake(), Frame('n', {'0', '0', '1', '2', '3', '4', '5', 0}), 1000);
    std::int32_t number = -99;
    QCOMPARE(ReadDeviceNumber(f.link, 100, number), WsaTimedOut);
    QCOMPARE(f.fake().ClockMs, 10000);
    QCOMPARE(number, -99);
  }
  {
    FakeLink f; // silence longer than the socket's time-out
    f.fake().ReceiveTimeout = 2000;
    f.fake().QueueAfter(2500, Block('I', 10, 1));
    QCOMPARE(Read(f, area.HistoryData, length), WsaTimedOut);
    QCOMPARE(f.fake().ClockMs, 2000);
  }
}

void TestLink::cancelEndsTheExchangeBetweenReceives() {
  {
    // Asked before the first receive.
    FakeLink f;
    f.link.CancelRequested = [] { return true; };
    f.fake().Queue(Frame('n', {'0', '0', '1', '2', '3', '4', '5', 0}));
    std::int32_t number = -99;
    QCOMPARE(ReadDeviceNumber(f.link, 100, number), LinkCancelled);
    QCOMPARE(number, -99);
    QVERIFY(f.fake().ReceiveSizes.empty());
    DEVICE_PARAMS record; // the compound reads pass it on
    QCOMPARE(ReadDeviceInfo(f.link, 100, record), LinkCancelled);
    QCOMPARE(WriteParameters(f.link, 100, record), LinkCancelled);
  }
  for (int gapMs : {INT_MAX, 300}) {
    // An instrument that stays silent, or trickles; Cancel after 0.7 s.
    FakeLink f;
    int pumps = 0;
    f.link.ProcessMessages = [&] { ++pumps; };
    f.link.CancelRequested = [&] { return f.fake().ClockMs >= 700; };
    f.fake().Queue(Block('H', 200, 1));
    Trickle(f.fake(), Block('I', 200, 2), gapMs);
    HistoryArea area;
    int length = 0;
    QCOMPARE(Read(f, area.HistoryData, length), LinkCancelled);
    QCOMPARE(length, 0);
    QVERIFY2(f.fake().ClockMs < 700 + IrdaTransport::WaitSliceMs,
             qPrintable(QString::number(f.fake().ClockMs)));
    for (int wait : f.fake().WaitTimes)
      QVERIFY(wait <= IrdaTransport::WaitSliceMs);
    QVERIFY(pumps >= 3);
  }
}
