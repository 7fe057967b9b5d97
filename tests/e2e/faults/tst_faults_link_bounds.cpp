// The link's guards end to end: the program's link code (options library from
// the program's folder, the virtual IrDA stack, the command protocol) against
// an instrument simulator that damages replies, sends numbers no instrument
// has, stays busy, sends history without end, trickles or stays silent.
// Every call runs with a cancel hook, as the exchange window runs it; unless a
// test cancels, the hook only stops a call that would not end by itself.
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include "LinkUnderTest.h"
#include "SimulatorProcess.h"
#include "link/HistoryArea.h"
#include "link/InstrumentProtocol.h"
#include "link/IrdaTransport.h"
#include "link/LinkCodes.h"
#include "link/VirtualIrdaStack.h"

namespace {

constexpr int WatchdogMs = 30000; // far beyond any bound the link keeps
constexpr int Events = 40;        // 800 history bytes
constexpr int BlockSize = 100;    // in 8 blocks

// One simulated instrument, by default with a history of `Events` events
// sent in blocks of `BlockSize` bytes.
const QStringList GeneratedHistory{"--events", QString::number(Events), "--block-size",
                                   QString::number(BlockSize)};

struct Instrument {
  QTemporaryDir dir;
  QString statePath = dir.filePath("state.json");
  SimulatorProcess process;
  explicit Instrument(const QStringList &faults, const QStringList &history = GeneratedHistory)
      : process(QStringList{"--state", statePath, "--number", "4418123"} +
                SimulatorLinkArguments(dir.filePath("ttyVX4418")) + history + faults) {}
  QByteArray history() const {
    SimulatorState state;
    state.load(statePath);
    return state.history;
  }
};

// One connection to the instrument, opened as the exchange window opens it.
struct Connection {
  IrdaTransport link;
  IrdaSocket socket = 0;
  QElapsedTimer clock;
  qint64 cancelAtMs = WatchdogMs; // since the connection was made
  int pumps = 0;

  explicit Connection(const Instrument &instrument)
      : link(StackUnderTest(Config(instrument.process.endpoint()),
                            instrument.process.serialPath())) {
    link.ProcessMessages = [this] { ++pumps; };
    link.CancelRequested = [this] { return clock.isValid() && clock.elapsed() >= cancelAtMs; };
  }
  ~Connection() { link.IrdaClose(socket); }

  bool open() {
    SOCKADDR_IRDA address{};
    DEVICELIST devices;
    const bool connected = link.IrdaOpen(address, socket) == IrdaSocketCreated &&
                           link.IrdaFindDevices(devices, socket) == LinkOk &&
                           link.IrdaConnect(0, socket, devices, address) == LinkOk;
    clock.start();
    return connected;
  }
  // Fails the test when the watchdog had to stop the call.
  bool endedByItself(int result) const {
    return result != LinkCancelled || cancelAtMs != WatchdogMs;
  }

private:
  static VirtualIrdaConfig Config(const QByteArray &endpoint) {
    VirtualIrdaConfig config;
    config.Endpoints = std::vector<std::string>{endpoint.toStdString()};
    config.LibraryFolder = VX_BIN_DIR;
    return config;
  }
};

QByteArray Taken(const HistoryArea &area) {
  return QByteArray(reinterpret_cast<const char *>(area.HistoryData.data()), area.HistoryLength);
}

// One whole history transfer over a fresh connection; `problem` says why the
// test cannot trust the result.
struct HistoryRead {
  int result = 0;
  QByteArray taken;
  QByteArray problem;
};

HistoryRead ReadWholeHistory(const Instrument &instrument) {
  HistoryRead read;
  Connection c(instrument);
  if (!c.open()) {
    read.problem = "no link to the simulator";
    return read;
  }
  HistoryArea area;
  read.result = ReadHistory(c.link, c.socket, area.HistoryData, area.HistoryLength, nullptr);
  read.taken = Taken(area);
  if (!c.endedByItself(read.result))
    read.problem = "the transfer did not end within 30 s";
  return read;
}

} // namespace

class TestLinkBounds : public QObject {
  Q_OBJECT
private slots:
  void damagedRepliesAreRefused();
  void numbersNoInstrumentHas_data();
  void numbersNoInstrumentHas();
  void busyDuringTheHistory();
  void historyWithoutEnd_data();
  void historyWithoutEnd();
  void trickledRepliesEnd();
  void cancelWithinASecond_data();
  void cancelWithinASecond();
  void cancelDuringTheSearch_data();
  void cancelDuringTheSearch();
};

// Damage after the checksum: the number 4418123 would read as 5418123, a
// dose value would change. The first link damages, the second is sound.
void TestLinkBounds::damagedRepliesAreRefused() {
  for (const QStringList &damage :
       {QStringList{"--damage", "n"}, QStringList{"--damage", "H", "--damage-block", "3"},
        QStringList{"--damage", "H", "--damage-block", "8"}}) {
    Instrument instrument(damage + QStringList{"--faulty-links", "1"});
    QVERIFY2(instrument.process.isRunning(), instrument.process.errorOutput().constData());
    const QByteArray history = instrument.history();
    QCOMPARE(history.size(), qsizetype(Events * 20));
    for (int attempt = 0; attempt < 2; ++attempt) {
      Connection c(instrument);
      QVERIFY(c.open());
      std::int32_t number = -99;
      const int numberRead = ReadDeviceNumber(c.link, c.socket, number);
      HistoryArea area;
      const int historyRead =
          ReadHistory(c.link, c.socket, area.HistoryData, area.HistoryLength, nullptr);
      const bool damaged = attempt == 0;
      const bool numberDamaged = damaged && damage[1] == "n";
      QCOMPARE(numberRead, numberDamaged ? LinkFailed : LinkOk);
      QCOMPARE(number, numberDamaged ? -99 : 4418123);
      QCOMPARE(historyRead, damaged && !numberDamaged ? LinkFailed : LinkOk);
      QCOMPARE(Taken(area), damaged && !numberDamaged ? QByteArray() : history);
    }
  }
}

void TestLinkBounds::numbersNoInstrumentHas_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("result");
  QTest::addColumn<int>("number");
  QTest::newRow("the register's no-instrument mark") << "-1" << LinkBadDeviceNumber << -99;
  QTest::newRow("zero") << "0000000" << LinkBadDeviceNumber << -99;
  QTest::newRow("letters") << "abcdefg" << LinkBadDeviceNumber << -99;
  QTest::newRow("digits, then junk") << "12a4567" << LinkBadDeviceNumber << -99;
  QTest::newRow("blank") << "" << LinkBadDeviceNumber << -99;
  QTest::newRow("short number") << "123456" << LinkOk << 123456;
}

void TestLinkBounds::numbersNoInstrumentHas() {
  QFETCH(QString, text);
  QFETCH(int, result);
  QFETCH(int, number);
  Instrument instrument({"--number-text", text});
  QVERIFY2(instrument.process.isRunning(), instrument.process.errorOutput().constData());
  Connection c(instrument);
  QVERIFY(c.open());
  std::int32_t read = -99;
  QCOMPARE(ReadDeviceNumber(c.link, c.socket, read), result);
  QCOMPARE(read, number);
}

// Busy answers before every block: up to 20 are waited out per block.
void TestLinkBounds::busyDuringTheHistory() {
  for (int busy : {1, 20, 21}) {
    Instrument instrument({"--busy", QString::number(busy) + ":H"});
    QVERIFY2(instrument.process.isRunning(), instrument.process.errorOutput().constData());
    const HistoryRead read = ReadWholeHistory(instrument);
    QVERIFY2(read.problem.isEmpty(), read.problem.constData());
    QCOMPARE(read.result, busy <= MaxBusyAnswers ? LinkOk : LinkBusy);
    QCOMPARE(read.taken, busy <= MaxBusyAnswers ? instrument.history() : QByteArray());
  }
}

void TestLinkBounds::historyWithoutEnd_data() {
  QTest::addColumn<QStringList>("fault");
  QTest::addColumn<int>("blockSize");
  QTest::newRow("empty blocks forever") << QStringList{"--empty-blocks"} << BlockSize;
  QTest::newRow("more than the area") << QStringList{} << 200;
}

void TestLinkBounds::historyWithoutEnd() {
  QFETCH(QStringList, fault);
  QFETCH(int, blockSize);
  QTemporaryDir dir;
  QStringList history = GeneratedHistory;
  if (fault.isEmpty()) {
    // One block more than the instrument's area holds.
    QFile file(dir.filePath("long.bin"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(HistoryArea::Capacity + blockSize, '\x11'));
    file.close();
    history = {"--history", file.fileName(), "--block-size", QString::number(blockSize)};
  }
  Instrument instrument(fault, history);
  QVERIFY2(instrument.process.isRunning(), instrument.process.errorOutput().constData());
  const HistoryRead read = ReadWholeHistory(instrument);
  QVERIFY2(read.problem.isEmpty(), read.problem.constData());
  QCOMPARE(read.result, LinkFailed);
  QCOMPARE(read.taken, QByteArray());
}

// A reply is bounded as a whole, not byte by byte.
void TestLinkBounds::trickledRepliesEnd() {
  {
    // One byte every half second: the first block alone would take 52 s.
    Instrument instrument({"--trickle", "500:H"});
    QVERIFY2(instrument.process.isRunning(), instrument.process.errorOutput().constData());
    const HistoryRead read = ReadWholeHistory(instrument);
    QVERIFY2(read.problem.isEmpty(), read.problem.constData());
    QCOMPARE(read.result, WsaTimedOut);
    QCOMPARE(read.taken, QByteArray());
  }
  for (int gapMs : {60, 400}) {
    // The 13-byte number reply against a 1.5 s limit: 0.7 s fits, 5 s does not.
    Instrument instrument({"--trickle", QString::number(gapMs) + ":n"});
    QVERIFY2(instrument.process.isRunning(), instrument.process.errorOutput().constData());
    Connection c(instrument);
    c.link.ReplyLimitMs = 1500;
    const bool found = c.open();
    // Over a serial port the search asks for the number first, within its
    // own 3 s: the slow reply means nobody answered.
    if (SerialLinkUnderTest() && gapMs == 400) {
      QVERIFY(!found);
      continue;
    }
    QVERIFY(found);
    std::int32_t number = -99;
    const int result = ReadDeviceNumber(c.link, c.socket, number);
    QVERIFY2(c.endedByItself(result), "the number read did not end within 30 s");
    QCOMPARE(result, gapMs == 60 ? LinkOk : WsaTimedOut);
    QCOMPARE(number, gapMs == 60 ? 4418123 : -99);
  }
}

void TestLinkBounds::cancelWithinASecond_data() {
  QTest::addColumn<QStringList>("fault");
  QTest::addColumn<bool>("history"); // else the number
  QTest::newRow("silent history") << QStringList{"--silent", "H"} << true;
  QTest::newRow("trickled history") << QStringList{"--trickle", "300:H"} << true;
  QTest::newRow("silent number") << QStringList{"--silent", "n"} << false;
  QTest::newRow("busy number") << QStringList{"--busy", "20:n", "--trickle", "400:n"} << false;
}

// The operator cancels 0.6 s into the call (the socket's own time-out is
// 10 s): the call returns LinkCancelled soon after.
void TestLinkBounds::cancelWithinASecond() {
  QFETCH(QStringList, fault);
  QFETCH(bool, history);
  if (SerialLinkUnderTest() && !history)
    QSKIP("over a serial port the number command is the search's: cancelDuringTheSearch");
  Instrument instrument(fault);
  QVERIFY2(instrument.process.isRunning(), instrument.process.errorOutput().constData());
  Connection c(instrument);
  QVERIFY(c.open());
  c.cancelAtMs = c.clock.elapsed() + 600;
  int result = 0;
  HistoryArea area;
  std::int32_t number = -99;
  if (history)
    result = ReadHistory(c.link, c.socket, area.HistoryData, area.HistoryLength, nullptr);
  else
    result = ReadDeviceNumber(c.link, c.socket, number);
  const qint64 afterCancel = c.clock.elapsed() - c.cancelAtMs;
  QCOMPARE(result, LinkCancelled);
  QVERIFY2(afterCancel < 3000,
           qPrintable(QStringLiteral("returned %1 ms after Cancel").arg(afterCancel)));
  QVERIFY(c.pumps > 0);
  QCOMPARE(area.HistoryLength, 0);
  QCOMPARE(number, -99);
}

void TestLinkBounds::cancelDuringTheSearch_data() {
  QTest::addColumn<QStringList>("fault");
  QTest::newRow("silent number") << QStringList{"--silent", "n"};
  QTest::newRow("busy number") << QStringList{"--busy", "20:n", "--trickle", "400:n"};
}

// Over a serial port the search itself asks for the instrument's number: the
// operator cancels 0.6 s into it, and the search ends soon after, having
// found nobody, with the window kept alive meanwhile.
void TestLinkBounds::cancelDuringTheSearch() {
  if (!SerialLinkUnderTest())
    QSKIP("the socket's search asks the instrument nothing");
  QFETCH(QStringList, fault);
  Instrument instrument(fault);
  QVERIFY2(instrument.process.isRunning(), instrument.process.errorOutput().constData());
  Connection c(instrument);
  QElapsedTimer search;
  search.start();
  c.link.CancelRequested = [&] { return search.elapsed() >= 600; };
  QVERIFY(!c.open());
  QVERIFY2(search.elapsed() < 1600,
           qPrintable(QStringLiteral("the search ended after %1 ms").arg(search.elapsed())));
  QVERIFY(c.pumps > 0);
}

QTEST_GUILESS_MAIN(TestLinkBounds)
#include "tst_faults_link_bounds.moc"
