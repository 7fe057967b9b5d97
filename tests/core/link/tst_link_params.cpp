// The parameter block: P and T decoding, the S frame, and the two operations.
#include <QTest>
#include <cstring>

#include "link/InstrumentProtocol.h"
#include "link/LinkCodes.h"
#include "link/ParameterBlock.h"
#include "tst_link.h"

namespace {

// A P reply with every byte distinct so misplaced copies show.
Bytes ParamReply(std::uint8_t flags = 0x46, std::uint8_t byte31 = 0xA4) {
  Bytes data(29);
  for (std::size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<std::uint8_t>(0x60 + i);
  auto put = [&](std::size_t at, auto value) { std::memcpy(&data[at - 4], &value, sizeof value); };
  put(4, 0.0025f);            // DER threshold
  put(8, std::uint16_t(25));  // switch-off delay
  put(16, std::uint16_t(60)); // history interval
  data[18 - 4] = flags;
  put(24, 0.5f); // DE threshold
  data[31 - 4] = byte31;
  data[32 - 4] = 9; // brightness
  return Frame('P', data);
}

void QueueInfo(FakeIrdaStack &s, const Bytes &p, const Bytes &t) {
  s.Queue(Frame('n', {'0', '0', '4', '4', '1', '8', '0', 0}));
  s.Queue(p);
  s.Queue(t);
}

const Bytes GoodTime{15, 3, 0xDA, 0x07, 13, 45, 30};

} // namespace

void TestLink::readDeviceInfoDecodesEverything() {
  FakeLink f;
  QueueInfo(f.fake(), ParamReply(0xB9, 0x01), Frame('T', GoodTime));
  DEVICE_PARAMS record;
  QCOMPARE(ReadDeviceInfo(f.link, 100, record), 0);
  QCOMPARE(record.DeviceId, 44180);
  QCOMPARE(record.DerThreshold, 0.0025f);
  QCOMPARE(record.DisplayOffDelay, 25);
  QCOMPARE(record.HistoryInterval, 60);
  QCOMPARE(record.DeThreshold, 0.5f);
  QCOMPARE(record.Brightness, 9);
  // 0xB9: bits 0, 3, 4, 5, 7.
  QVERIFY(record.SoundOn && record.Loud && record.DisplayOffEnabled && record.UnitSievert &&
          record.ButtonBeep && record.ClockCalendar);
  QCOMPARE(record.ActivationDay, 15);
  QCOMPARE(record.ActivationYear, 2010);
  QCOMPARE(record.ActivationSecond, 30);
  QVERIFY(record.ActivationTime > 40252 && record.ActivationTime < 40253);
  QCOMPARE(f.fake().SentBytes(), (Bytes{0x55, 0x04, 0x6E, 0x01, 0x1F, 0x55, 0x04, 0x50, 0x01, 0xEE,
                                        0x55, 0x04, 0x54, 0x01, 0xD5}));

  FakeLink g;
  QueueInfo(g.fake(), ParamReply(0x00, 0xFE), Frame('T', GoodTime));
  QCOMPARE(ReadDeviceInfo(g.link, 100, record), 0);
  QVERIFY(!record.SoundOn && !record.Loud && !record.DisplayOffEnabled && !record.UnitSievert &&
          !record.ButtonBeep && !record.ClockCalendar);
}

void TestLink::readDeviceInfoFailures() {
  DEVICE_PARAMS before;
  before.DerThreshold = 7.0f;
  before.ActivationTime = 123.5;
  before.ActivationDay = 9;
  {
    FakeLink f; // wrong parameter checksum: -1, nothing after the number changes
    Bytes p = ParamReply();
    p[33] ^= 0xFF;
    QueueInfo(f.fake(), p, Frame('T', GoodTime));
    DEVICE_PARAMS record = before;
    QCOMPARE(ReadDeviceInfo(f.link, 100, record), -1);
    QCOMPARE(record.DeviceId, 44180);
    QCOMPARE(record.DerThreshold, 7.0f);
  }
  {
    FakeLink f; // day 0: -3, raw fields new, activation time old
    QueueInfo(f.fake(), ParamReply(), Frame('T', {0, 3, 0xDA, 0x07, 1, 2, 3}));
    DEVICE_PARAMS record = before;
    QCOMPARE(ReadDeviceInfo(f.link, 100, record), LinkBadActivationTime);
    QCOMPARE(record.ActivationDay, 0);
    QCOMPARE(record.ActivationHour, 1);
    QCOMPARE(record.ActivationTime, 123.5);
    QCOMPARE(record.DerThreshold, 0.0025f);
  }
  {
    FakeLink f; // wrong time checksum: -3, raw fields untouched
    Bytes t = Frame('T', GoodTime);
    t[11] ^= 1;
    QueueInfo(f.fake(), ParamReply(), t);
    DEVICE_PARAMS record = before;
    QCOMPARE(ReadDeviceInfo(f.link, 100, record), LinkBadActivationTime);
    QCOMPARE(record.ActivationDay, 9);
  }
  {
    FakeLink f; // wrong lengths: -1
    QueueInfo(f.fake(), ParamReply(), Frame('T', Bytes(8, 1)));
    DEVICE_PARAMS record;
    QCOMPARE(ReadDeviceInfo(f.link, 100, record), -1);
    FakeLink g;
    QueueInfo(g.fake(), Frame('P', Bytes(28, 1)), Frame('T', GoodTime));
    QCOMPARE(ReadDeviceInfo(g.link, 100, record), -1);
    FakeLink h; // a Winsock error becomes -1 too
    QCOMPARE(ReadDeviceInfo(h.link, 100, record), -1);
  }
}

void TestLink::writeFrameFromParameterReply_data() {
  QTest::addColumn<std::uint8_t>("pFlags");
  QTest::addColumn<bool>("sound");
  QTest::addColumn<bool>("loud");
  QTest::addColumn<bool>("displayOff");
  QTest::addColumn<bool>("sievert");
  QTest::addColumn<bool>("beep");
  QTest::addColumn<std::uint8_t>("sFlags");
  QTest::newRow("sound off keeps loud and beep")
      << std::uint8_t(0x46) << false << true << true << true << true << std::uint8_t(0x76);
  QTest::newRow("sound off, P loud and beep")
      << std::uint8_t(0xCF) << false << false << false << false << false << std::uint8_t(0xCE);
  QTest::newRow("sound on sets loud and beep")
      << std::uint8_t(0x00) << true << true << false << false << true << std::uint8_t(0x89);
  QTest::newRow("sound on clears loud and beep")
      << std::uint8_t(0xFF) << true << false << true << false << false << std::uint8_t(0x57);
}

void TestLink::writeFrameFromParameterReply() {
  QFETCH(std::uint8_t, pFlags);
  QFETCH(bool, sound);
  QFETCH(bool, loud);
  QFETCH(bool, displayOff);
  QFETCH(bool, sievert);
  QFETCH(bool, beep);
  QFETCH(std::uint8_t, sFlags);
  const Bytes p = ParamReply(pFlags, 0xA4);
  DEVICE_PARAMS r;
  r.DerThreshold = 1.5f;
  r.DeThreshold = 2.25f;
  r.DisplayOffDelay = 30;
  r.HistoryInterval = 2400;
  r.Brightness = 12;
  r.ClockCalendar = true;
  r.SoundOn = sound;
  r.Loud = loud;
  r.DisplayOffEnabled = displayOff;
  r.UnitSievert = sievert;
  r.ButtonBeep = beep;
  std::uint8_t s[27];
  BuildParameterWriteFrame(p.data(), r, s);

  QCOMPARE(Bytes(s, s + 4), (Bytes{0x55, 0x1A, 0x53, 0x01}));
  float f;
  std::memcpy(&f, s + 4, 4);
  QCOMPARE(f, 1.5f);
  const Bytes delay = displayOff ? Bytes{30, 0} : Bytes{p[8], p[9]};
  QCOMPARE(Bytes(s + 8, s + 10), delay);
  QCOMPARE(Bytes(s + 10, s + 14), Bytes(p.begin() + 10, p.begin() + 14));
  QCOMPARE(Bytes(s + 14, s + 16), (Bytes{0x60, 0x09}));
  QCOMPARE(s[16], sFlags);
  QCOMPARE(s[17], p[19]);
  std::memcpy(&f, s + 18, 4);
  QCOMPARE(f, 2.25f);
  QCOMPARE(s[22], p[30]);
  QCOMPARE(s[23], 0xA5);
  QCOMPARE(s[24], 12);
  QCOMPARE(s[25], 12);
  QCOMPARE(s[26], FrameChecksum(s, 26));
}

void TestLink::everyFlagSurvivesReadThenWrite() {
  // Reading a block and writing it straight back changes no flag bit.
  for (int flags = 0; flags < 256; ++flags) {
    const Bytes p =
        ParamReply(static_cast<std::uint8_t>(flags), static_cast<std::uint8_t>(255 - flags));
    DEVICE_PARAMS r;
    QVERIFY(DecodeParameterReply(p.data(), 34, r));
    std::uint8_t s[27];
    BuildParameterWriteFrame(p.data(), r, s);
    QCOMPARE(s[16], p[18]);
    QCOMPARE(s[23], p[31]);
    QCOMPARE(Bytes(s + 4, s + 10), Bytes(p.begin() + 4, p.begin() + 10));
    QCOMPARE(Bytes(s + 18, s + 22), Bytes(p.begin() + 24, p.begin() + 28));
  }
}

void TestLink::writeParametersUsesUncheckedReply() {
  FakeLink f;
  Bytes p = ParamReply();
  p[33] ^= 0xFF; // not checked when writing
  f.fake().Queue(p);
  f.fake().Queue(Frame('S', {}));
  DEVICE_PARAMS r;
  r.Brightness = 7;
  QCOMPARE(WriteParameters(f.link, 100, r), 0);
  const Bytes sent = f.fake().SentBytes();
  QCOMPARE(sent.size(), std::size_t(5 + 27));
  QCOMPARE(sent[5 + 24], 7);
  QCOMPARE(sent.back(), FrameChecksum(sent.data() + 5, 26));

  FakeLink g; // the P read fails with a Winsock error: -1
  QCOMPARE(WriteParameters(g.link, 100, r), -1);
  g.fake().Queue(Frame('P', Bytes(20, 0))); // wrong length
  QCOMPARE(WriteParameters(g.link, 100, r), -1);
  g.fake().Queue(ParamReply()); // the S exchange's own error is passed up
  QCOMPARE(WriteParameters(g.link, 100, r), WsaTimedOut);
}
