// The instrument link end to end: the program's link code (the options library
// from the program's folder, the virtual IrDA stack, the command protocol and
// the parameter block) against the instrument simulator running as its own
// process. Each test checks what the program got back and what the instrument
// holds afterwards, read from the simulator's state file.

#include <QDate>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>
#include <QtEndian>

#include <sys/socket.h>
#include <sys/time.h>

#include <cstring>
#include <optional>

#include "SimulatorProcess.h"
#include "history/HistoryRecord.h"
#include "link/HistoryArea.h"
#include "link/InstrumentProtocol.h"
#include "link/IrdaTransport.h"
#include "link/LinkCodes.h"
#include "link/ParameterBlock.h"
#include "link/VirtualIrdaStack.h"

namespace {

constexpr int FullHistoryEvents = 13317;
constexpr int FullHistoryBlocks = 1332;

// Every command the exchange faults are applied to, apart from the history.
const QString FrameCommands = QStringLiteral("nPTSACG");

// A parameter block (reply bytes 4..32) with the given settings; the bytes the
// program does not interpret hold fixed marks so that any change shows.
QByteArray ParameterBlockBytes(float der, quint16 delay, quint16 interval, quint8 flags, float de,
                               quint8 clockByte, quint8 brightness) {
  QByteArray block(29, '\0');
  auto put = [&](int replyByte, const void *value, int size) {
    std::memcpy(block.data() + replyByte - 4, value, static_cast<std::size_t>(size));
  };
  const quint8 kept10[] = {0xA1, 0xA2, 0xA3, 0xA4}, unwritten14[] = {0xB1, 0xB2},
               unwritten20[] = {0xD0, 0xD1, 0xD2, 0xD3}, unwritten28[] = {0xE8, 0xE9};
  const quint8 byte19 = 0xC9, byte30 = 0xF0;
  put(4, &der, 4);
  put(8, &delay, 2);
  put(10, kept10, 4);
  put(14, unwritten14, 2);
  put(16, &interval, 2);
  put(18, &flags, 1);
  put(19, &byte19, 1);
  put(20, unwritten20, 4);
  put(24, &de, 4);
  put(28, unwritten28, 2);
  put(30, &byte30, 1);
  put(31, &clockByte, 1);
  put(32, &brightness, 1);
  return block;
}

double Days(const QDate &date, const QTime &time) {
  return static_cast<double>(QDate(1899, 12, 30).daysTo(date)) +
         time.msecsSinceStartOfDay() / 86.4e6;
}

std::vector<std::string> List(std::initializer_list<QByteArray> endpoints) {
  std::vector<std::string> list;
  for (const QByteArray &endpoint : endpoints)
    list.push_back(endpoint.toStdString());
  return list;
}

QByteArray DeviceName(const DEVICELIST &devices, int index) {
  const char *name = devices.Device[index].irdaDeviceName;
  return QByteArray(
      name, static_cast<qsizetype>(strnlen(name, sizeof devices.Device[index].irdaDeviceName)));
}

// A loopback port nobody listens on.
QByteArray ClosedEndpoint() {
  QTcpServer server;
  server.listen(QHostAddress::LocalHost);
  return "127.0.0.1:" + QByteArray::number(server.serverPort());
}

// One simulated instrument keeping its memory in a throw-away state file.
class Instrument {
public:
  explicit Instrument(const QStringList &arguments)
      : statePath_(dir_.filePath("state.json")),
        process_(arguments + QStringList{"--state", statePath_}) {}
  bool running() const { return process_.isRunning(); }
  QByteArray failure() { return "simulator did not start: " + process_.errorOutput(); }
  QByteArray endpoint() const { return process_.endpoint(); }
  std::vector<std::string> inRange() const { return List({endpoint()}); }
  SimulatorState state() const {
    SimulatorState state;
    if (!state.load(statePath_))
      state.number = -2;
    return state;
  }

private:
  QTemporaryDir dir_;
  QString statePath_;
  SimulatorProcess process_;
};

// One exchange with an instrument the way the exchange window runs it: open
// (the socket tuned by the options library of the program's folder), find
// the devices in range, connect to the first, commands, close.
class Exchange {
public:
  explicit Exchange(std::optional<std::vector<std::string>> endpoints)
      : link(std::make_shared<VirtualIrdaStack>(Config(std::move(endpoints)))) {}
  ~Exchange() { link.IrdaClose(socket); }

  // IrdaOpen, IrdaFindDevices, IrdaConnect(0): the first result that is not success.
  int start() {
    if (const int opened = link.IrdaOpen(address, socket); opened != IrdaSocketCreated)
      return opened;
    if (const int found = link.IrdaFindDevices(devices, socket); found != LinkOk)
      return found;
    return link.IrdaConnect(0, socket, devices, address);
  }
  int close() { return link.IrdaClose(socket); }

  timeval receiveTimeout() const { return timeOption(SO_RCVTIMEO); }
  timeval sendTimeout() const { return timeOption(SO_SNDTIMEO); }
  void setReceiveTimeout(int milliseconds) {
    const timeval value{milliseconds / 1000, milliseconds % 1000 * 1000};
    setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_RCVTIMEO, &value, sizeof value);
  }

  IrdaTransport link;
  IrdaSocket socket = 0;
  SOCKADDR_IRDA address;
  DEVICELIST devices;

private:
  static VirtualIrdaConfig Config(std::optional<std::vector<std::string>> endpoints) {
    VirtualIrdaConfig config;
    config.Endpoints = std::move(endpoints);
    config.LibraryFolder = VX_BIN_DIR;
    return config;
  }
  timeval timeOption(int option) const {
    timeval value{-1, -1};
    socklen_t size = sizeof value;
    getsockopt(static_cast<int>(socket), SOL_SOCKET, option, &value, &size);
    return value;
  }
};

// The exchange window's progress bar: range 0..100, step 10; counts blocks.
struct BlockCounter : HistoryProgress {
  int blocks = 0;
  int value = 0;
  void setRange(int, int) override {}
  int position() const override { return value; }
  int maximum() const override { return 100; }
  void setPosition(int position) override { value = position; }
  void step() override {
    value += 10;
    ++blocks;
  }
  void repaint() override {}
};

QByteArray Bytes(const std::uint8_t *data, int count) {
  return QByteArray(reinterpret_cast<const char *>(data), count);
}

QByteArray AreaBytes(const HistoryArea &area) {
  return Bytes(area.HistoryData.data(), area.HistoryLength);
}

// A write that touches every interpreted field, with the block it leaves in
// the instrument: sound off, so loud and button beep keep the instrument's bits.
struct ParameterWrite {
  QByteArray before;
  DEVICE_PARAMS record;
  QByteArray after;
};

ParameterWrite SoundOffWrite() {
  ParameterWrite write;
  write.before = ParameterBlockBytes(2.5e-5f, 25, 30, 0x46, 5e-3f, 0xFE, 7);
  DEVICE_PARAMS &r = write.record;
  r.DerThreshold = 1e-4f;
  r.DisplayOffDelay = 17;
  r.SoundOn = false;
  r.Loud = true;
  r.DisplayOffEnabled = true;
  r.UnitSievert = true;
  r.ButtonBeep = true;
  r.HistoryInterval = 120;
  r.DeThreshold = 2e-2f;
  r.ClockCalendar = true;
  r.Brightness = 12;
  write.after = ParameterBlockBytes(1e-4f, 17, 120, 0x76, 2e-2f, 0xFF, 12);
  return write;
}

} // namespace

Q_DECLARE_METATYPE(DEVICE_PARAMS)

class TestLinkEndToEnd : public QObject {
  Q_OBJECT

private slots:
  void readCommandsOverATunedLink();
  void writeCommandsChangeOnlyTheirPart();
  void writeParametersKeepsUninterpretedBytes_data();
  void writeParametersKeepsUninterpretedBytes();
  void readHistory_data();
  void readHistory();
  void exchangeFaults_data();
  void exchangeFaults();
  void checksumAndDateFaults();
  void droppedLinkFailsTheTransfer();
  void silentInstrumentTimesOut();
  void connectFaults_data();
  void connectFaults();
  void outOfRange();
  void onlyTheFirstInstrumentIsUsed();
};

void TestLinkEndToEnd::readCommandsOverATunedLink() {
  const QByteArray block = ParameterBlockBytes(2.5e-5f, 25, 30, 0xA9, 5e-3f, 0x81, 13);
  Instrument instrument({"--number", "12345", "--params", block.toHex(), "--activation",
                         "2024-02-29T23:59:59", "--events", "50"});
  QVERIFY2(instrument.running(), instrument.failure());
  const SimulatorState before = instrument.state();

  Exchange exchange(instrument.inRange());
  QCOMPARE(exchange.start(), LinkOk);
  // The socket that carries the frames was tuned by the options library.
  QVERIFY(exchange.link.OptionsLibraryLoaded());
  QCOMPARE(exchange.receiveTimeout().tv_sec, 10);
  QCOMPARE(exchange.sendTimeout().tv_sec, 10);

  std::int32_t number = -7;
  QCOMPARE(ReadDeviceNumber(exchange.link, exchange.socket, number), LinkOk);
  QCOMPARE(number, 12345);

  std::uint8_t reply[ParamReplyLength];
  int replyLength = 0;
  QCOMPARE(ReadParameterFrame(exchange.link, exchange.socket, reply, replyLength), LinkOk);
  QCOMPARE(replyLength, ParamReplyLength);
  QCOMPARE(Bytes(reply + 4, 29), block);
  QCOMPARE(reply[33], FrameChecksum(reply, 33));

  QCOMPARE(ReadActivationFrame(exchange.link, exchange.socket, reply, replyLength), LinkOk);
  QCOMPARE(replyLength, ActivationReplyLength);
  double activation = 0;
  QVERIFY(DecodeActivationTime(reply, replyLength, activation));
  QCOMPARE(activation, Days(QDate(2024, 2, 29), QTime(23, 59, 59)));

  DEVICE_PARAMS record;
  QCOMPARE(ReadDeviceInfo(exchange.link, exchange.socket, record), LinkOk);
  QCOMPARE(record.DeviceId, 12345);
  QCOMPARE(record.DerThreshold, 2.5e-5f);
  QCOMPARE(record.DisplayOffDelay, quint16(25));
  QVERIFY(record.SoundOn && record.Loud && !record.DisplayOffEnabled && record.UnitSievert &&
          record.ButtonBeep);
  QCOMPARE(record.HistoryInterval, quint16(30));
  QCOMPARE(record.DeThreshold, 5e-3f);
  QVERIFY(record.ClockCalendar);
  QCOMPARE(record.Brightness, quint16(13));
  QCOMPARE(record.ActivationDay, quint8(29));
  QCOMPARE(record.ActivationMonth, quint8(2));
  QCOMPARE(record.ActivationYear, quint16(2024));
  QCOMPARE(record.ActivationSecond, quint8(59));
  QCOMPARE(record.ActivationTime, activation);

  QCOMPARE(exchange.close(), 0);
  QCOMPARE(exchange.socket, IrdaSocket(0));
  QCOMPARE(instrument.state().file, before.file);
}

void TestLinkEndToEnd::writeCommandsChangeOnlyTheirPart() {
  Instrument instrument({"--events", "300", "--de", "0.25"});
  QVERIFY2(instrument.running(), instrument.failure());
  const SimulatorState before = instrument.state();
  QCOMPARE(before.de, 0.25);
  QCOMPARE(before.history.size(), 300 * HistoryRecord::Size);

  Exchange exchange(instrument.inRange());
  QCOMPARE(exchange.start(), LinkOk);

  // The activation time goes without its milliseconds.
  const double written = Days(QDate(2031, 2, 28), QTime(23, 59, 58, 400));
  QCOMPARE(WriteActivationTime(exchange.link, exchange.socket, written), LinkOk);
  SimulatorState state = instrument.state();
  QCOMPARE(state.activation.toHex(), QByteArray("1c02ef07173b3a"));
  QCOMPARE(state.parameters, before.parameters);
  QCOMPARE(state.history, before.history);
  QCOMPARE(state.de, before.de);
  std::uint8_t reply[ActivationReplyLength];
  int replyLength = 0;
  double activation = 0;
  QCOMPARE(ReadActivationFrame(exchange.link, exchange.socket, reply, replyLength), LinkOk);
  QVERIFY(DecodeActivationTime(reply, replyLength, activation));
  QCOMPARE(activation, Days(QDate(2031, 2, 28), QTime(23, 59, 58)));

  QCOMPARE(ClearDose(exchange.link, exchange.socket), LinkOk);
  state = instrument.state();
  QCOMPARE(state.de, 0.0);
  QCOMPARE(state.history, before.history);

  QCOMPARE(ClearHistory(exchange.link, exchange.socket), LinkOk);
  state = instrument.state();
  QVERIFY(state.history.isEmpty());
  QCOMPARE(state.parameters, before.parameters);
  QCOMPARE(state.number, before.number);

  // A cleared instrument answers the history request with one empty last block.
  HistoryArea area;
  BlockCounter progress;
  QCOMPARE(
      ReadHistory(exchange.link, exchange.socket, area.HistoryData, area.HistoryLength, &progress),
      LinkOk);
  QCOMPARE(area.HistoryLength, 0);
  QCOMPARE(progress.blocks, 1);
  QCOMPARE(exchange.close(), 0);
}

void TestLinkEndToEnd::writeParametersKeepsUninterpretedBytes_data() {
  QTest::addColumn<QByteArray>("before");
  QTest::addColumn<DEVICE_PARAMS>("record");
  QTest::addColumn<QByteArray>("after");

  const ParameterWrite soundOff = SoundOffWrite();
  QTest::newRow("sound off, display switch-off on")
      << soundOff.before << soundOff.record << soundOff.after;

  DEVICE_PARAMS r;
  r.DerThreshold = 3e-6f;
  r.DisplayOffDelay = 29; // not sent: display switch-off is off
  r.SoundOn = true;
  r.HistoryInterval = 2400;
  r.DeThreshold = 10.0f;
  r.Brightness = 15;
  QTest::newRow("sound on, everything else off")
      << ParameterBlockBytes(1.2e-5f, 20, 60, 0xF9, 1e-3f, 0x07, 10) << r
      << ParameterBlockBytes(3e-6f, 20, 2400, 0x41, 10.0f, 0x06, 15);

  r = {};
  r.UnitSievert = true;
  r.HistoryInterval = 1;
  r.Brightness = 5;
  QTest::newRow("sound off keeps loud and button beep")
      << ParameterBlockBytes(1e-5f, 30, 10, 0x89, 1e-3f, 0x00, 9) << r
      << ParameterBlockBytes(0.0f, 30, 1, 0xA8, 0.0f, 0x00, 5);
}

void TestLinkEndToEnd::writeParametersKeepsUninterpretedBytes() {
  QFETCH(QByteArray, before);
  QFETCH(DEVICE_PARAMS, record);
  QFETCH(QByteArray, after);
  Instrument instrument({"--params", before.toHex(), "--events", "20"});
  QVERIFY2(instrument.running(), instrument.failure());
  const SimulatorState old = instrument.state();

  Exchange exchange(instrument.inRange());
  QCOMPARE(exchange.start(), LinkOk);
  QCOMPARE(WriteParameters(exchange.link, exchange.socket, record), LinkOk);
  const SimulatorState state = instrument.state();
  QCOMPARE(state.parameters.toHex(' '), after.toHex(' '));
  QCOMPARE(state.activation, old.activation);
  QCOMPARE(state.history, old.history);
  QCOMPARE(state.de, old.de);

  // What the program reads back is what it wrote.
  DEVICE_PARAMS read;
  QCOMPARE(ReadDeviceInfo(exchange.link, exchange.socket, read), LinkOk);
  QCOMPARE(read.DerThreshold, record.DerThreshold);
  QCOMPARE(read.HistoryInterval, record.HistoryInterval);
  QCOMPARE(read.DeThreshold, record.DeThreshold);
  QCOMPARE(read.UnitSievert, record.UnitSievert);
  QCOMPARE(read.ClockCalendar, record.ClockCalendar);
  QCOMPARE(read.Brightness, record.Brightness);
  QCOMPARE(exchange.close(), 0);
}

void TestLinkEndToEnd::readHistory_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<int>("events");
  QTest::addColumn<int>("blocks");
  QTest::newRow("a few hundred events") << QStringList{"--events", "300"} << 300 << 30;
  QTest::newRow("the full area") << QStringList{"--events", "13317"} << FullHistoryEvents
                                 << FullHistoryBlocks;
  QTest::newRow("no history") << QStringList{"--events", "0"} << 0 << 1;
  QTest::newRow("blocks of 37 bytes")
      << QStringList{"--events", "300", "--block-size", "37"} << 300 << 163;
}

void TestLinkEndToEnd::readHistory() {
  QFETCH(QStringList, arguments);
  QFETCH(int, events);
  QFETCH(int, blocks);
  Instrument instrument(arguments);
  QVERIFY2(instrument.running(), instrument.failure());
  const SimulatorState before = instrument.state();
  QCOMPARE(before.history.size(), events * HistoryRecord::Size);

  Exchange exchange(instrument.inRange());
  QCOMPARE(exchange.start(), LinkOk);
  HistoryArea area;
  BlockCounter progress;
  QCOMPARE(
      ReadHistory(exchange.link, exchange.socket, area.HistoryData, area.HistoryLength, &progress),
      LinkOk);
  QCOMPARE(area.HistoryLength, before.history.size());
  QVERIFY(AreaBytes(area) == before.history);
  QCOMPARE(progress.blocks, blocks);
  QCOMPARE(progress.value, 100);
  // Every record the instrument made is an event the program can file.
  QCOMPARE(WalkHistory(area.HistoryData.data(), area.HistoryLength,
                       [](const HistoryRecord &, const HistoryEvent &) {}),
           events);

  // A second transfer on the same link starts again from the first block.
  QCOMPARE(
      ReadHistory(exchange.link, exchange.socket, area.HistoryData, area.HistoryLength, nullptr),
      LinkOk);
  QVERIFY(AreaBytes(area) == before.history);
  QCOMPARE(exchange.close(), 0);
  QCOMPARE(instrument.state().file, before.file);
}

void TestLinkEndToEnd::exchangeFaults_data() {
  QTest::addColumn<QStringList>("faults");
  // Results of: ReadDeviceInfo, ReadHistory, WriteActivationTime, WriteParameters,
  // ClearDose, ClearHistory.
  QTest::addColumn<QList<int>>("results");
  const QList<int> allOk{0, 0, 0, 0, 0, 0};
  QTest::newRow("none") << QStringList{} << allOk;
  QTest::newRow("20 busy answers per request")
      << QStringList{"--busy", "20:" + FrameCommands} << allOk;
  QTest::newRow("21 busy answers per request")
      << QStringList{"--busy", "21:" + FrameCommands}
      << QList<int>{LinkBusy, 0, LinkBusy, LinkBusy, LinkBusy, LinkBusy};
  QTest::newRow("stray 0xEE bytes before each reply")
      << QStringList{"--stray", "3:" + FrameCommands} << allOk;
  QTest::newRow("one stray 0xEE byte before each reply")
      << QStringList{"--stray", "1:" + FrameCommands} << allOk;
  QTest::newRow("every reply in pieces")
      << QStringList{"--split", "4", "--split-pause", "2"} << allOk;
}

void TestLinkEndToEnd::exchangeFaults() {
  QFETCH(QStringList, faults);
  QFETCH(QList<int>, results);
  const ParameterWrite write = SoundOffWrite();
  Instrument instrument(faults + QStringList{"--events", "300", "--params", write.before.toHex()});
  QVERIFY2(instrument.running(), instrument.failure());
  const SimulatorState before = instrument.state();

  Exchange exchange(instrument.inRange());
  QCOMPARE(exchange.start(), LinkOk);
  DEVICE_PARAMS read;
  HistoryArea area;
  const double activation = Days(QDate(2030, 6, 1), QTime(12, 0, 0));
  const QList<int> got{
      ReadDeviceInfo(exchange.link, exchange.socket, read),
      ReadHistory(exchange.link, exchange.socket, area.HistoryData, area.HistoryLength, nullptr),
      WriteActivationTime(exchange.link, exchange.socket, activation),
      WriteParameters(exchange.link, exchange.socket, write.record),
      ClearDose(exchange.link, exchange.socket),
      ClearHistory(exchange.link, exchange.socket)};
  QCOMPARE(got, results);
  QCOMPARE(exchange.close(), 0);

  if (results[0] == LinkOk)
    QCOMPARE(read.DeviceId, before.number);
  if (results[1] == LinkOk)
    QVERIFY(AreaBytes(area) == before.history);
  if (results == QList<int>{0, 0, 0, 0, 0, 0}) {
    const SimulatorState after = instrument.state();
    QCOMPARE(after.activation.toHex(), QByteArray("0106ee070c0000"));
    QCOMPARE(after.parameters.toHex(' '), write.after.toHex(' '));
    QCOMPARE(after.de, 0.0);
    QVERIFY(after.history.isEmpty());
  } else {
    // Nothing the instrument refused to take was taken.
    QCOMPARE(instrument.state().file, before.file);
  }
}

void TestLinkEndToEnd::checksumAndDateFaults() {
  DEVICE_PARAMS untouched;
  untouched.DerThreshold = 99.0f;
  untouched.ActivationDay = 77;
  untouched.ActivationTime = 123.5;
  double dateTime = 456.25;
  std::uint8_t reply[ParamReplyLength];
  int replyLength = 0;

  { // A parameter reply with a wrong checksum is refused by the read but used by the write.
    const ParameterWrite write = SoundOffWrite();
    Instrument instrument({"--bad-checksum", "P", "--params", write.before.toHex()});
    QVERIFY2(instrument.running(), instrument.failure());
    Exchange exchange(instrument.inRange());
    QCOMPARE(exchange.start(), LinkOk);
    DEVICE_PARAMS record = untouched;
    QCOMPARE(ReadDeviceInfo(exchange.link, exchange.socket, record), LinkFailed);
    QCOMPARE(record.DerThreshold, 99.0f);
    QCOMPARE(record.ActivationDay, quint8(77));
    QCOMPARE(WriteParameters(exchange.link, exchange.socket, write.record), LinkOk);
    QCOMPARE(instrument.state().parameters.toHex(' '), write.after.toHex(' '));
  }
  { // An activation reply with a wrong checksum stores nothing.
    Instrument instrument({"--bad-checksum", "T"});
    QVERIFY2(instrument.running(), instrument.failure());
    const SimulatorState before = instrument.state();
    Exchange exchange(instrument.inRange());
    QCOMPARE(exchange.start(), LinkOk);
    QCOMPARE(ReadActivationFrame(exchange.link, exchange.socket, reply, replyLength), LinkOk);
    QCOMPARE(replyLength, ActivationReplyLength);
    QVERIFY(!DecodeActivationTime(reply, replyLength, dateTime));
    QCOMPARE(dateTime, 456.25);
    DEVICE_PARAMS record = untouched;
    QCOMPARE(ReadDeviceInfo(exchange.link, exchange.socket, record), LinkBadActivationTime);
    QCOMPARE(record.DeviceId, before.number);
    QCOMPARE(record.DerThreshold, 1.2e-5f); // the parameter block was read
    QCOMPARE(record.ActivationDay, quint8(77));
    QCOMPARE(record.ActivationTime, 123.5);
    QCOMPARE(exchange.close(), 0);
    QCOMPARE(instrument.state().file, before.file);
  }
  { // An impossible date: the raw fields are stored, the activation time is kept.
    Instrument instrument({"--bad-date", "--activation", "2025-03-09T10:11:12"});
    QVERIFY2(instrument.running(), instrument.failure());
    Exchange exchange(instrument.inRange());
    QCOMPARE(exchange.start(), LinkOk);
    QCOMPARE(ReadActivationFrame(exchange.link, exchange.socket, reply, replyLength), LinkOk);
    QVERIFY(!DecodeActivationTime(reply, replyLength, dateTime));
    DEVICE_PARAMS record = untouched;
    QCOMPARE(ReadDeviceInfo(exchange.link, exchange.socket, record), LinkBadActivationTime);
    QCOMPARE(record.ActivationDay, quint8(9));
    QCOMPARE(record.ActivationMonth, quint8(13));
    QCOMPARE(record.ActivationYear, quint16(2025));
    QCOMPARE(record.ActivationTime, 123.5);
  }
}

void TestLinkEndToEnd::droppedLinkFailsTheTransfer() {
  // The link drops after block 5 on the first connection only.
  Instrument instrument({"--events", "13317", "--drop-after", "5", "--faulty-links", "1"});
  QVERIFY2(instrument.running(), instrument.failure());
  const SimulatorState before = instrument.state();

  HistoryArea area;
  {
    Exchange exchange(instrument.inRange());
    QCOMPARE(exchange.start(), LinkOk);
    BlockCounter progress;
    const int result = ReadHistory(exchange.link, exchange.socket, area.HistoryData,
                                   area.HistoryLength, &progress);
    QVERIFY2(result == LinkFailed || result == WsaConnectionReset, QByteArray::number(result));
    QCOMPARE(progress.blocks, 5);
    QCOMPARE(area.HistoryLength, 0); // nothing of a broken transfer counts
    exchange.close();
    QCOMPARE(exchange.socket, IrdaSocket(0));
  }
  // The instrument kept its history; the next exchange reads all of it.
  Exchange exchange(instrument.inRange());
  QCOMPARE(exchange.start(), LinkOk);
  QCOMPARE(
      ReadHistory(exchange.link, exchange.socket, area.HistoryData, area.HistoryLength, nullptr),
      LinkOk);
  QCOMPARE(area.HistoryLength, HistoryArea::Capacity);
  QVERIFY(AreaBytes(area) == before.history);
  QCOMPARE(instrument.state().file, before.file);
}

void TestLinkEndToEnd::silentInstrumentTimesOut() {
  Instrument instrument({"--silent", "nH", "--events", "10"});
  QVERIFY2(instrument.running(), instrument.failure());
  Exchange exchange(instrument.inRange());
  QCOMPARE(exchange.start(), LinkOk);
  // The options library bounds every wait by 10 s; this test waits a little only.
  QCOMPARE(exchange.receiveTimeout().tv_sec, 10);
  exchange.setReceiveTimeout(300);

  std::int32_t number = -7;
  QCOMPARE(ReadDeviceNumber(exchange.link, exchange.socket, number), WsaTimedOut);
  QCOMPARE(number, -7);
  HistoryArea area;
  QCOMPARE(
      ReadHistory(exchange.link, exchange.socket, area.HistoryData, area.HistoryLength, nullptr),
      WsaTimedOut);
  QCOMPARE(area.HistoryLength, 0);
  // Commands that are answered still work on the same link.
  std::uint8_t reply[ActivationReplyLength];
  int replyLength = 0;
  QCOMPARE(ReadActivationFrame(exchange.link, exchange.socket, reply, replyLength), LinkOk);
  QCOMPARE(exchange.close(), 0);
}

void TestLinkEndToEnd::connectFaults_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<int>("connected");
  QTest::newRow("no 9-wire service") << QStringList{"--no-9wire"} << WsaRefused;
  QTest::newRow("connection refused") << QStringList{"--refuse"} << WsaRefused;
  QTest::newRow("service type after another parameter")
      << QStringList{"--ias", "0102aabb000104"} << LinkOk;
}

void TestLinkEndToEnd::connectFaults() {
  QFETCH(QStringList, arguments);
  QFETCH(int, connected);
  Instrument instrument(arguments + QStringList{"--number", "4418777"});
  QVERIFY2(instrument.running(), instrument.failure());
  Exchange exchange(instrument.inRange());
  QCOMPARE(exchange.link.IrdaOpen(exchange.address, exchange.socket), IrdaSocketCreated);
  QCOMPARE(exchange.link.IrdaFindDevices(exchange.devices, exchange.socket), LinkOk);
  QCOMPARE(exchange.devices.count(), 1u);
  QCOMPARE(exchange.link.IrdaConnect(0, exchange.socket, exchange.devices, exchange.address),
           connected);
  if (connected == LinkOk) {
    std::int32_t number = 0;
    QCOMPARE(ReadDeviceNumber(exchange.link, exchange.socket, number), LinkOk);
    QCOMPARE(number, 4418777);
  }
  QCOMPARE(exchange.close(), 0);
  QCOMPARE(exchange.socket, IrdaSocket(0));
}

void TestLinkEndToEnd::outOfRange() {
  // Nobody listening, and a listener that never answers the device list request.
  QTcpServer mute;
  QVERIFY(mute.listen(QHostAddress::LocalHost));
  Exchange exchange(List({ClosedEndpoint(), "127.0.0.1:" + QByteArray::number(mute.serverPort())}));
  QCOMPARE(exchange.link.IrdaOpen(exchange.address, exchange.socket), IrdaSocketCreated);
  QCOMPARE(exchange.link.IrdaFindDevices(exchange.devices, exchange.socket), LinkNoDevice);
  QCOMPARE(exchange.devices.count(), 0u);
  QCOMPARE(exchange.close(), 0);
}

void TestLinkEndToEnd::onlyTheFirstInstrumentIsUsed() {
  Instrument first({"--number", "1111111", "--name", "FIRST"});
  Instrument second({"--number", "2222222", "--name", "SECOND"});
  QVERIFY2(first.running(), first.failure());
  QVERIFY2(second.running(), second.failure());

  {
    Exchange exchange(List({ClosedEndpoint(), first.endpoint(), second.endpoint()}));
    QCOMPARE(exchange.start(), LinkOk);
    QCOMPARE(exchange.devices.count(), 2u);
    QCOMPARE(DeviceName(exchange.devices, 0), QByteArray("FIRST"));
    QCOMPARE(DeviceName(exchange.devices, 1), QByteArray("SECOND"));
    std::int32_t number = 0;
    QCOMPARE(ReadDeviceNumber(exchange.link, exchange.socket, number), LinkOk);
    QCOMPARE(number, 1111111);
  }
  // The same through the environment, in the other order.
  qputenv("VX4418_IRDA_DEVICES", second.endpoint() + "," + first.endpoint());
  Exchange exchange(std::nullopt);
  const int started = exchange.start();
  qunsetenv("VX4418_IRDA_DEVICES");
  QCOMPARE(started, LinkOk);
  std::int32_t number = 0;
  QCOMPARE(ReadDeviceNumber(exchange.link, exchange.socket, number), LinkOk);
  QCOMPARE(number, 2222222);
}

QTEST_GUILESS_MAIN(TestLinkEndToEnd)
#include "tst_e2e_link.moc"
