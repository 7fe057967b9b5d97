// Frames, exchanges and the history transfer over the fake stack.
#include <QDate>
#include <QTest>
#include <climits>
#include <cstring>

#include "link/HistoryArea.h"
#include "link/InstrumentProtocol.h"
#include "link/LinkCodes.h"
#include "tst_link.h"

namespace {

const Bytes ParamRequest{0x55, 0x04, 0x50, 0x01, 0xEE};

int Exchange(FakeLink &f, const Bytes &request, int capacity, int &replyLength,
             Bytes *reply = nullptr) {
  Bytes area(static_cast<std::size_t>(capacity));
  const int result = ExchangeFrame(f.link, 100, request, area, replyLength);
  if (reply)
    *reply = area;
  return result;
}

Bytes Block(std::uint8_t code, std::size_t dataBytes, std::uint8_t fill) {
  return Frame(code, Bytes(dataBytes, fill));
}

// Counts like the exchange window's progress bar: 0..100, step 10.
struct Progress : HistoryProgress {
  int value = 0, max = 100, steps = 0, wraps = 0, repaints = 0;
  void setRange(int, int maximum) override { max = maximum; }
  int position() const override { return value; }
  int maximum() const override { return max; }
  void setPosition(int p) override {
    if (p == 0)
      ++wraps;
    value = p;
  }
  void step() override {
    ++steps;
    value = std::min(value + 10, max);
  }
  void repaint() override { ++repaints; }
};

} // namespace

void TestLink::checksumAndRequestFrames() {
  const Bytes digits{'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  QCOMPARE(FrameChecksum(digits.data(), 9), 0xA1);
  const std::pair<std::uint8_t, std::uint8_t> fixed[] = {{'n', 0x1F}, {'P', 0xEE}, {'T', 0xD5},
                                                         {'H', 0x74}, {'C', 0x57}, {'G', 0x6C}};
  for (auto [code, crc] : fixed) {
    std::uint8_t frame[5];
    QCOMPARE(BuildRequestFrame(code, {}, frame), 5);
    QCOMPARE(Bytes(frame, frame + 5), (Bytes{0x55, 0x04, code, 0x01, crc}));
  }
}

void TestLink::exchangeBusyAnswers() {
  FakeLink f;
  const Bytes reply = Frame('P', Bytes(29, 0x11));
  f.fake().Queue({BusyByte});
  f.fake().Queue({BusyByte});
  f.fake().Queue(reply);
  int length = 34;
  QCOMPARE(Exchange(f, ParamRequest, 34, length), 0);
  QCOMPARE(f.fake().Sends.size(), std::size_t(3)); // the request is repeated per busy answer

  for (int busy : {20, 21}) {
    FakeLink g;
    for (int i = 0; i < busy; ++i)
      g.fake().Queue({BusyByte});
    g.fake().Queue(reply);
    length = 34;
    QCOMPARE(Exchange(g, ParamRequest, 34, length), busy > MaxBusyAnswers ? LinkBusy : 0);
    QCOMPARE(g.fake().Sends.size(), std::size_t(21)); // first request and 20 repeats
  }
}

void TestLink::exchangeStrayBytesAndPieces() {
  const Bytes reply = Frame('P', Bytes(29, 0x22));
  {
    // Stray busy bytes in front of the reply, in the same receive.
    FakeLink f;
    Bytes withStray{BusyByte, BusyByte};
    withStray.insert(withStray.end(), reply.begin(), reply.end());
    f.fake().Queue(withStray);
    Bytes got;
    int length = 36;
    QCOMPARE(Exchange(f, ParamRequest, 36, length, &got), 0);
    QCOMPARE(length, 34);
    QCOMPARE(Bytes(got.begin(), got.begin() + 34), reply);
    QCOMPARE(f.fake().Sends.size(), std::size_t(1));
  }
  {
    // A reply in pieces, the first a single byte: collected without a new request,
    // and never reading past the reply.
    FakeLink f;
    f.fake().Queue({reply[0]});
    f.fake().Queue(Bytes(reply.begin() + 1, reply.begin() + 10));
    f.fake().Queue(Bytes(reply.begin() + 10, reply.end()));
    f.fake().Queue({0x99}); // next reply's byte, must stay unread
    Bytes got;
    int length = 34;
    QCOMPARE(Exchange(f, ParamRequest, 34, length, &got), 0);
    QCOMPARE(got, reply);
    QCOMPARE(f.fake().Sends.size(), std::size_t(1));
    QCOMPARE(f.fake().Received.size(), std::size_t(1));
  }
  {
    // A shorter reply than expected sets the caller's length.
    FakeLink f;
    f.fake().Queue(Frame('S', {}));
    int length = 34;
    QCOMPARE(Exchange(f, ParamRequest, 34, length), 0);
    QCOMPARE(length, 5);
  }
}

void TestLink::exchangeIncompleteAttempts() {
  const Bytes reply = Frame('T', Bytes(7, 1));
  FakeLink f;
  for (int i = 0; i < 3; ++i) {
    f.fake().Queue(Bytes(reply.begin(), reply.begin() + 6));
    f.fake().QueueClosed();
  }
  int length = 12;
  QCOMPARE(Exchange(f, ParamRequest, 12, length), -1);
  QCOMPARE(f.fake().Sends.size(), std::size_t(3));
  QCOMPARE(length, 12);

  FakeLink g;
  g.fake().QueueClosed();
  g.fake().QueueClosed();
  g.fake().Queue(reply);
  length = 12;
  QCOMPARE(Exchange(g, ParamRequest, 12, length), 0);
  QCOMPARE(g.fake().Sends.size(), std::size_t(3));

  FakeLink h; // time-outs and send errors end the exchange at once
  length = 12;
  QCOMPARE(Exchange(h, ParamRequest, 12, length), WsaTimedOut);
  h.fake().SendResults = {-10054};
  QCOMPARE(Exchange(h, ParamRequest, 12, length), WsaConnectionReset);
}

void TestLink::exchangeRefusesOversizedReplies() {
  FakeLink f;
  f.fake().Queue(Frame('n', Bytes(30, '7'))); // 35 bytes for a 13-byte area
  int length = 13;
  QCOMPARE(Exchange(f, ParamRequest, 13, length), -1);
  length = 14;
  QCOMPARE(Exchange(f, ParamRequest, 13, length), -1); // expected beyond the area
  QCOMPARE(f.fake().Sends.size(), std::size_t(1));
}

void TestLink::deviceNumberReplies_data() {
  QTest::addColumn<QByteArray>("chars");
  QTest::addColumn<int>("result");
  QTest::addColumn<int>("number");
  QTest::newRow("leading zeros") << QByteArray("0012345") << 0 << 12345;
  QTest::newRow("leading blanks, trailing NUL") << QByteArray("  1234\0", 7) << 0 << 1234;
  QTest::newRow("plus sign") << QByteArray("+000007") << 0 << 7;
  QTest::newRow("all seven") << QByteArray("9999999") << 0 << 9999999;
  QTest::newRow("no instrument") << QByteArray("     -1") << LinkBadDeviceNumber << -99;
  QTest::newRow("zero") << QByteArray("0000000") << LinkBadDeviceNumber << -99;
  QTest::newRow("no digits") << QByteArray("abc1234") << LinkBadDeviceNumber << -99;
  QTest::newRow("blank") << QByteArray("       ") << LinkBadDeviceNumber << -99;
  QTest::newRow("junk after digits") << QByteArray("12a4567") << LinkBadDeviceNumber << -99;
  QTest::newRow("two numbers") << QByteArray("+7 9999") << LinkBadDeviceNumber << -99;
}

// Only a whole, sound reply holding an instrument number sets the number.
void TestLink::deviceNumberReplies() {
  QFETCH(QByteArray, chars);
  QFETCH(int, result);
  QFETCH(int, number);
  FakeLink f;
  Bytes data(chars.begin(), chars.end());
  data.push_back('5'); // byte 11 is not part of the number
  f.fake().Queue(Frame('n', data));
  std::int32_t read = -99;
  QCOMPARE(ReadDeviceNumber(f.link, 100, read), result);
  QCOMPARE(read, number);
  QCOMPARE(f.fake().SentBytes(), (Bytes{0x55, 0x04, 0x6E, 0x01, 0x1F}));

  read = -99; // failures leave the number alone
  QCOMPARE(ReadDeviceNumber(f.link, 100, read), WsaTimedOut);
  f.fake().Queue(Frame('n', {'1', '2'}));
  QCOMPARE(ReadDeviceNumber(f.link, 100, read), -1);
  QCOMPARE(read, -99);
}

void TestLink::deviceNumberTextReadsLikeAtol() {
  auto atol = [](const char *text) {
    return ParseDeviceNumber(reinterpret_cast<const std::uint8_t *>(text),
                             static_cast<int>(std::strlen(text)));
  };
  QCOMPARE(atol(" \t-42ab"), -42);
  QCOMPARE(atol("+7 9999"), 7);
  QCOMPARE(atol("abc"), 0);
  QCOMPARE(atol("99999999999"), INT32_MAX);
  // The strict reading refuses what atol would turn into another number.
  std::int32_t number = -99;
  const auto strict = [&](const char *text) {
    return ParseInstrumentNumber(reinterpret_cast<const std::uint8_t *>(text),
                                 static_cast<int>(std::strlen(text)), number);
  };
  QVERIFY(!strict("10000000"));
  QVERIFY(!strict("-"));
  QVERIFY(!strict(""));
  QCOMPARE(number, -99);
  QVERIFY(strict("1"));
  QCOMPARE(number, 1);
}

void TestLink::activationTimeDecoding_data() {
  QTest::addColumn<Bytes>("group");
  QTest::addColumn<bool>("valid");
  QTest::newRow("ordinary") << Bytes{15, 3, 0xDA, 0x07, 13, 45, 30} << true;
  QTest::newRow("leap day") << Bytes{29, 2, 0xD8, 0x07, 0, 0, 0} << true;
  QTest::newRow("month 13") << Bytes{1, 13, 0xDA, 0x07, 0, 0, 0} << false;
  QTest::newRow("month 0") << Bytes{1, 0, 0xDA, 0x07, 0, 0, 0} << false;
  QTest::newRow("day 0") << Bytes{0, 1, 0xDA, 0x07, 0, 0, 0} << false;
  QTest::newRow("31 April") << Bytes{31, 4, 0xDA, 0x07, 0, 0, 0} << false;
  QTest::newRow("29 February 2011") << Bytes{29, 2, 0xDB, 0x07, 0, 0, 0} << false;
  QTest::newRow("hour 24") << Bytes{1, 1, 0xDA, 0x07, 24, 0, 0} << false;
  QTest::newRow("second 60") << Bytes{1, 1, 0xDA, 0x07, 0, 0, 60} << false;
}

void TestLink::activationTimeDecoding() {
  QFETCH(Bytes, group);
  QFETCH(bool, valid);
  Bytes reply = Frame('T', group);
  double when = -1;
  QCOMPARE(DecodeActivationTime(reply.data(), 12, when), valid);
  if (valid) {
    const QDate date(group[2] | group[3] << 8, group[1], group[0]);
    const double expected =
        QDate(1899, 12, 30).daysTo(date) + (group[4] * 3600 + group[5] * 60 + group[6]) / 86400.0;
    QCOMPARE(when, expected);
    reply[11] ^= 1; // wrong checksum
    when = -1;
    QVERIFY(!DecodeActivationTime(reply.data(), 12, when));
    QVERIFY(!DecodeActivationTime(reply.data(), 11, when));
  }
  QCOMPARE(when, -1.0);
}

void TestLink::activationTimeWriting() {
  FakeLink f;
  f.fake().Queue(Frame('A', {}));
  // 2010-03-15 13:45:30.7: milliseconds are dropped.
  const double when =
      QDate(1899, 12, 30).daysTo(QDate(2010, 3, 15)) + (13 * 3600 + 45 * 60 + 30.7) / 86400.0;
  QCOMPARE(WriteActivationTime(f.link, 100, when), 0);
  const Bytes expected = [] {
    Bytes a{0x55, 0x0B, 0x41, 0x01, 15, 3, 0xDA, 0x07, 13, 45, 30};
    a.push_back(FrameChecksum(a.data(), 11));
    return a;
  }();
  QCOMPARE(f.fake().SentBytes(), expected);
  // What the instrument reports back decodes to the same second.
  double back = 0;
  QVERIFY(DecodeActivationTime(
      Frame('T', Bytes(expected.begin() + 4, expected.begin() + 11)).data(), 12, back));
  QCOMPARE(qRound64(back * 86400), qRound64(when * 86400 - 0.7));
}

void TestLink::clearCommandsSendFixedFrames() {
  FakeLink f;
  f.fake().Queue({0x55, 0x01}); // a two-byte acknowledgement is complete
  QCOMPARE(ClearHistory(f.link, 100), 0);
  f.fake().Queue(Frame('G', {}));
  QCOMPARE(ClearDose(f.link, 100), 0);
  QCOMPARE(f.fake().SentBytes(),
           (Bytes{0x55, 0x04, 0x43, 0x01, 0x57, 0x55, 0x04, 0x47, 0x01, 0x6C}));
  QCOMPARE(ClearDose(f.link, 100), WsaTimedOut);
}

void TestLink::historyOneBlock() {
  FakeLink f;
  f.fake().Queue(Block('I', 60, 0x33));
  HistoryArea area;
  area.HistoryLength = 999;
  QCOMPARE(ReadHistory(f.link, 100, area.HistoryData, area.HistoryLength, nullptr), 0);
  QCOMPARE(area.HistoryLength, 60);
  QCOMPARE(area.HistoryData[59], 0x33);
  QCOMPARE(area.HistoryData[60], 0);
  QCOMPARE(f.fake().SentBytes(), (Bytes{0x55, 0x04, 0x48, 0x01, 0x74}));
}

void TestLink::historyBlocksInPiecesWithProgress() {
  FakeLink f;
  int pumps = 0;
  f.link.ProcessMessages = [&] { ++pumps; };
  const int blocks = 13;
  f.fake().Responder = [&, sent = 0](std::span<const std::uint8_t>, FakeIrdaStack &s) mutable {
    ++sent;
    const Bytes block = Block(sent == blocks ? 'X' : 'H', 200, static_cast<std::uint8_t>(sent));
    s.Queue({block[0]}); // first piece: one byte, length still unknown
    s.Queue(Bytes(block.begin() + 1, block.begin() + 100));
    s.Queue(Bytes(block.begin() + 100, block.end()));
  };
  HistoryArea area;
  Progress progress;
  QCOMPARE(ReadHistory(f.link, 100, area.HistoryData, area.HistoryLength, &progress), 0);
  QCOMPARE(area.HistoryLength, blocks * 200);
  for (int b = 0; b < blocks; ++b)
    QCOMPARE(area.HistoryData[static_cast<std::size_t>(b * 200 + 199)], b + 1);
  QCOMPARE(f.fake().Sends.size(), std::size_t(blocks));
  QCOMPARE(progress.steps, blocks);
  QCOMPARE(progress.wraps, 1); // after ten steps it starts again at 0
  QCOMPARE(progress.value, 100);
  QCOMPARE(pumps, blocks);
  for (int asked : f.fake().ReceiveSizes)
    QVERIFY(asked <= HistoryBlockSize);
}

void TestLink::historyCutShortFails_data() {
  QTest::addColumn<int>("ending"); // 0: link closed, else the receive error
  QTest::addColumn<int>("result");
  QTest::newRow("closed") << 0 << -1;
  QTest::newRow("time-out") << 10060 << 10060;
  QTest::newRow("reset") << 10054 << 10054;
}

void TestLink::historyCutShortFails() {
  QFETCH(int, ending);
  QFETCH(int, result);
  for (bool midBlock : {false, true}) {
    FakeLink f;
    f.fake().Queue(Block('H', 100, 1));
    if (midBlock) {
      const Bytes next = Block('H', 100, 2);
      f.fake().Queue(Bytes(next.begin(), next.begin() + 50));
    }
    if (ending == 0)
      f.fake().QueueClosed();
    else
      f.fake().QueueError(ending);
    HistoryArea area;
    QCOMPARE(ReadHistory(f.link, 100, area.HistoryData, area.HistoryLength, nullptr), result);
    QCOMPARE(area.HistoryLength, 0); // nothing of a broken transfer counts
  }
}

void TestLink::historyBadBlockLengthsAndOverflow_data() {
  QTest::addColumn<int>("announced"); // byte 1 of the second block
  QTest::addColumn<int>("capacity");
  QTest::addColumn<int>("result");
  QTest::addColumn<int>("length");
  QTest::newRow("L 3") << 3 << 1000 << -1 << 0;
  QTest::newRow("L 205") << 205 << 1000 << -1 << 0;
  QTest::newRow("L 255") << 255 << 1000 << -1 << 0;
  QTest::newRow("L 4, empty last block") << 4 << 1000 << 0 << 200;
  QTest::newRow("fills the area exactly") << 204 << 400 << 0 << 400;
  QTest::newRow("one byte too many") << 204 << 399 << -1 << 0;
}

void TestLink::historyBadBlockLengthsAndOverflow() {
  QFETCH(int, announced);
  QFETCH(int, capacity);
  QFETCH(int, result);
  QFETCH(int, length);
  FakeLink f;
  f.fake().Queue(Block('H', 200, 1));
  Bytes second = Block('I', 200, 2);
  if (announced >= MinHistoryBlockL && announced <= MaxHistoryBlockL)
    second = Block('I', static_cast<std::size_t>(announced - 4), 2);
  else
    second[1] = static_cast<std::uint8_t>(announced);
  f.fake().Queue(second);
  Bytes area(static_cast<std::size_t>(capacity)); // exact size: ASan sees any overrun
  int got = 0;
  QCOMPARE(ReadHistory(f.link, 100, area, got, nullptr), result);
  QCOMPARE(got, length);
}
