// The instrument simulator seen from the host side: the virtual infrared link lines,
// every command and its reply, every fault, and the state it keeps across runs.

#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cstring>
#include <memory>
#include <set>

namespace {

constexpr int WaitMs = 5000;
constexpr int HistoryArea = 266340;
constexpr char Busy = char(0xEE);

quint8 crc8(const QByteArray &bytes) {
  quint8 crc = 0;
  for (char byte : bytes) {
    crc ^= quint8(byte);
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 1) ? quint8((crc >> 1) ^ 0x8C) : quint8(crc >> 1);
  }
  return crc;
}

QByteArray request(char code, const QByteArray &data = {}) {
  QByteArray frame;
  frame.append(char(0x55)).append(char(4 + data.size())).append(code).append(char(1));
  frame.append(data);
  return frame.append(char(crc8(frame)));
}

bool checksumOk(const QByteArray &frame) {
  return frame.size() >= 5 && crc8(frame.chopped(1)) == quint8(frame.back());
}

float floatAt(const QByteArray &bytes, int offset) {
  const quint32 bits = qFromLittleEndian<quint32>(bytes.constData() + offset);
  float value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

QByteArray dateGroup(int day, int month, int year, int hour, int minute, int second) {
  QByteArray group(7, '\0');
  group[0] = char(day);
  group[1] = char(month);
  qToLittleEndian<quint16>(quint16(year), group.data() + 2);
  group[4] = char(hour);
  group[5] = char(minute);
  group[6] = char(second);
  return group;
}

// The simulator process, stopped with SIGTERM.
class Simulator {
public:
  explicit Simulator(const QStringList &arguments) {
    process.start(VX_INSTRUMENT_EXE, QStringList{"--port", "0"} + arguments);
    if (!process.waitForStarted(WaitMs))
      return;
    while (!process.canReadLine() && process.waitForReadyRead(WaitMs)) {
    }
    const QByteArray line = process.readLine();
    if (line.startsWith("LISTENING "))
      port = quint16(line.mid(10).trimmed().toUInt());
  }
  ~Simulator() {
    if (process.state() != QProcess::NotRunning) {
      process.kill();
      process.waitForFinished(WaitMs);
    }
  }
  bool stop() {
    process.terminate();
    return process.waitForFinished(WaitMs) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
  }

  QProcess process;
  quint16 port = 0;
};

// One line to the device and everything it answers before it closes.
QByteArray lineRequest(quint16 port, const QByteArray &line, bool *closed = nullptr) {
  QTcpSocket socket;
  socket.connectToHost(QHostAddress::LocalHost, port);
  if (!socket.waitForConnected(WaitMs))
    return {};
  socket.write(line + '\n');
  QByteArray answer;
  while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(WaitMs))
    answer += socket.readAll();
  answer += socket.readAll();
  if (closed)
    *closed = socket.state() != QAbstractSocket::ConnectedState;
  return answer;
}

struct Reply {
  int strayBytes = 0;
  QByteArray frame;
};

// The host side of a connected link: requests out, raw bytes in.
class FrameClient {
public:
  bool open(quint16 port) {
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(WaitMs))
      return false;
    socket.write("CONNECT IrDA:IrCOMM 0\n");
    return read(3) == "OK\n";
  }

  QByteArray read(int count) {
    while (buffer.size() < count && socket.waitForReadyRead(WaitMs))
      buffer += socket.readAll();
    const QByteArray taken = buffer.left(count);
    buffer.remove(0, taken.size());
    return taken;
  }

  // Reads one reply: stray 0xEE bytes, then a whole frame as its byte 1 announces.
  Reply exchange(const QByteArray &frame) {
    socket.write(frame);
    Reply reply;
    while (read(1) == QByteArray(1, Busy))
      ++reply.strayBytes;
    // The byte just read was 0x55 (or nothing arrived).
    reply.frame = QByteArray(1, 0x55) + read(1);
    if (reply.frame.size() == 2)
      reply.frame += read(quint8(reply.frame[1]) - 1);
    return reply;
  }
  QByteArray frame(char code, const QByteArray &data = {}) {
    return exchange(request(code, data)).frame;
  }

  // The whole history, block by block, and the reply codes seen.
  QByteArray history(QByteArray *codes = nullptr) {
    QByteArray data;
    for (int blocks = 0; blocks < 2000; ++blocks) {
      const QByteArray block = frame('H');
      if (block.size() < 5)
        break;
      data += block.mid(4, block.size() - 5);
      if (codes)
        codes->append(block[2]);
      if (block[2] != 'H')
        break;
    }
    return data;
  }

  bool quiet() { return buffer.isEmpty() && socket.bytesAvailable() == 0; }

  QTcpSocket socket;
  QByteArray buffer;
};

QJsonObject readState(const QString &path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return {};
  return QJsonDocument::fromJson(file.readAll()).object();
}

QByteArray stateBytes(const QJsonObject &state, const char *key) {
  return QByteArray::fromHex(state[key].toString().toLatin1());
}

QByteArray stateHistory(const QJsonObject &state) {
  return QByteArray::fromBase64(state["history"].toString().toLatin1());
}

} // namespace

class TestInstrument : public QObject {
  Q_OBJECT

  QTemporaryDir dir;
  QString statePath() const { return dir.filePath("state.json"); }

private slots:
  void init() { QFile::remove(statePath()); }

  void checksumIsCrc8Maxim() {
    QCOMPARE(crc8("123456789"), quint8(0xA1));
    QCOMPARE(request('n').toHex(), QByteArray("55046e011f"));
    QCOMPARE(request('P').toHex(), QByteArray("55045001ee"));
  }

  void linkLinesAndNewConnections() {
    Simulator sim({"--name", "Dosimeter 7", "--device-id", "0A0B0C0D"});
    QVERIFY(sim.port);
    bool closed = false;
    for (int round = 0; round < 2; ++round) {
      QCOMPARE(lineRequest(sim.port, "INFO", &closed),
               "DEVICE 0a0b0c0d " + QByteArray("Dosimeter 7").toHex() + " 80 04 00\n");
      QVERIFY(closed);
    }
    QCOMPARE(lineRequest(sim.port, "IAS IrDA:IrCOMM Parameters"), QByteArray("OCTETSEQ 000104\n"));
    QCOMPARE(lineRequest(sim.port, "IAS IrDA:IrLPT Parameters"), QByteArray("NONE\n"));
    QCOMPARE(lineRequest(sim.port, "CONNECT IrDA:OBEX 1", &closed), QByteArray("REFUSED\n"));
    QVERIFY(closed);
    for (int round = 0; round < 2; ++round) {
      FrameClient client;
      QVERIFY(client.open(sim.port));
      QCOMPARE(client.frame('n').size(), 13);
    }
    QVERIFY(sim.stop());
  }

  void defaultPortIdentityAndHelp() {
    QProcess help;
    help.start(VX_INSTRUMENT_EXE, {"--help"});
    QVERIFY(help.waitForFinished(WaitMs));
    QCOMPARE(help.exitCode(), 0);
    const QByteArray text = help.readAllStandardOutput();
    for (const char *option :
         {"--port", "--events", "--history", "--state", "--number", "--name", "--busy", "--stray",
          "--split", "--silent", "--bad-checksum", "--bad-date", "--drop-after", "--no-9wire"})
      QVERIFY2(text.contains(option), option);

    QProcess wrong;
    wrong.start(VX_INSTRUMENT_EXE, {"--port", "0", "--number", "12345678"});
    QVERIFY(wrong.waitForFinished(WaitMs));
    QVERIFY(wrong.exitCode() != 0);
    QVERIFY(wrong.readAllStandardOutput().isEmpty());
  }

  void readCommands() {
    Simulator sim(
        {"--number", "12345", "--activation", "2025-02-28T23:59:58", "--state", statePath()});
    QVERIFY(sim.port);
    FrameClient client;
    QVERIFY(client.open(sim.port));

    const QByteArray number = client.frame('n');
    QCOMPARE(number.size(), 13);
    QCOMPARE(number.mid(1, 3), QByteArray("\x0c\x6e\x01"));
    QCOMPARE(number.mid(4, 7), QByteArray("0012345"));
    QVERIFY(checksumOk(number));

    const QByteArray parameters = client.frame('P');
    QCOMPARE(parameters.size(), 34);
    QCOMPARE(quint8(parameters[1]), quint8(33));
    QVERIFY(checksumOk(parameters));
    QCOMPARE(parameters.mid(4, 29), stateBytes(readState(statePath()), "parameters"));
    QVERIFY(floatAt(parameters, 4) > 0 && floatAt(parameters, 24) > 0);
    const int brightness = quint8(parameters[32]);
    QVERIFY(brightness >= 5 && brightness <= 15);

    const QByteArray activation = client.frame('T');
    QCOMPARE(activation.size(), 12);
    QVERIFY(checksumOk(activation));
    QCOMPARE(activation.mid(4, 7), dateGroup(28, 2, 2025, 23, 59, 58));
    QVERIFY(client.quiet());
  }

  void writeCommandsChangeTheStateByteForByte() {
    Simulator sim({"--events", "40", "--state", statePath()});
    QVERIFY(sim.port);
    FrameClient client;
    QVERIFY(client.open(sim.port));
    const QByteArray before = client.frame('P').mid(4, 29);

    QByteArray write(22, '\0');
    for (int i = 0; i < write.size(); ++i)
      write[i] = char(0xA0 + i);
    const QByteArray ack = client.frame('S', write);
    QCOMPARE(ack.size(), 5);
    QVERIFY(checksumOk(ack));

    // Where each write byte lands in the block (block offset = reply byte - 4).
    QByteArray expected = before;
    const int landing[22] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  12,
                             13, 14, 15, 20, 21, 22, 23, 26, 27, 28, -1};
    for (int i = 0; i < 22; ++i)
      if (landing[i] >= 0)
        expected[landing[i]] = write[i];
    QCOMPARE(stateBytes(readState(statePath()), "parameters").toHex(), expected.toHex());
    QCOMPARE(client.frame('P').mid(4, 29).toHex(), expected.toHex());

    const QByteArray time = dateGroup(31, 12, 2026, 7, 5, 3);
    QCOMPARE(client.frame('A', time).size(), 5);
    QCOMPARE(stateBytes(readState(statePath()), "activation"), time);
    QCOMPARE(client.frame('T').mid(4, 7), time);

    QVERIFY(readState(statePath())["de"].toDouble() > 0);
    QCOMPARE(client.frame('G').size(), 5);
    QCOMPARE(readState(statePath())["de"].toDouble(), 0.0);
    QCOMPARE(readState(statePath())["historyLength"].toInt(), 800);

    QCOMPARE(client.frame('C').size(), 5);
    QCOMPARE(readState(statePath())["historyLength"].toInt(), 0);
    // An empty history is one last block without data.
    QCOMPARE(client.frame('H'), request('I'));
  }

  void stateSurvivesARestart() {
    QByteArray history;
    QByteArray time = dateGroup(1, 3, 2026, 10, 0, 0);
    {
      Simulator sim({"--number", "7654321", "--events", "25", "--state", statePath()});
      QVERIFY(sim.port);
      FrameClient client;
      QVERIFY(client.open(sim.port));
      history = client.history();
      QCOMPARE(client.frame('A', time).size(), 5);
      QCOMPARE(client.frame('G').size(), 5);
      QVERIFY(sim.stop());
    }
    Simulator sim({"--number", "1", "--events", "3", "--state", statePath()});
    QVERIFY(sim.port);
    FrameClient client;
    QVERIFY(client.open(sim.port));
    QCOMPARE(client.frame('n').mid(4, 7), QByteArray("7654321"));
    QCOMPARE(client.frame('T').mid(4, 7), time);
    QCOMPARE(client.history(), history);
    QCOMPARE(readState(statePath())["de"].toDouble(), 0.0);
  }

  void historyBlocksAndLastBlock_data() {
    QTest::addColumn<int>("bytes");
    QTest::addColumn<QByteArray>("codes");
    QTest::newRow("one short block") << 60 << QByteArray("I");
    QTest::newRow("exact blocks") << 400 << QByteArray("HI");
    QTest::newRow("odd tail") << 450 << QByteArray("HHI");
    QTest::newRow("odd record size") << 57 << QByteArray("I");
  }
  void historyBlocksAndLastBlock() {
    QFETCH(int, bytes);
    QFETCH(QByteArray, codes);
    QByteArray raw(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
      raw[i] = char(i * 7 + 3);
    const QString file = dir.filePath("history.bin");
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(raw);
    out.close();

    Simulator sim({"--history", file});
    QVERIFY(sim.port);
    FrameClient client;
    QVERIFY(client.open(sim.port));
    for (int round = 0; round < 2; ++round) {
      QByteArray seen;
      QCOMPARE(client.history(&seen), raw);
      QCOMPARE(seen, codes);
    }
  }

  void generatedHistoryIsAValidFullArea() {
    Simulator sim({"--events", "13317", "--state", statePath()});
    QVERIFY(sim.port);
    FrameClient client;
    QVERIFY(client.open(sim.port));
    QByteArray codes;
    const QByteArray history = client.history(&codes);
    QCOMPARE(history.size(), HistoryArea);
    QCOMPARE(codes.size(), 1332);
    QCOMPARE(history, stateHistory(readState(statePath())));

    std::set<int> kinds;
    float lastDose = -1;
    QDateTime lastTime;
    for (int offset = 0; offset < history.size(); offset += 20) {
      const QByteArray record = history.mid(offset, 20);
      const QDate date{2000 + quint8(record[2]), quint8(record[1]), quint8(record[0])};
      const QTime time{quint8(record[3]), quint8(record[4])};
      QVERIFY2(date.isValid() && time.isValid(), qPrintable(QString::number(offset)));
      const QDateTime when(date, time, Qt::UTC);
      QVERIFY(!lastTime.isValid() || when > lastTime);
      lastTime = when;
      const int kind = quint8(record[5]);
      kinds.insert(kind);
      const float dose = floatAt(record, 12);
      QVERIFY2(dose > lastDose, qPrintable(QString::number(offset)));
      lastDose = dose;
      const float rate = floatAt(record, 6);
      QVERIFY(rate > 0 && rate < 1e-2f);
      if (kind == 3 || kind == 4)
        QVERIFY(qFromLittleEndian<quint16>(record.constData() + 10) > 0);
    }
    QCOMPARE(kinds, (std::set<int>{1, 2, 3, 4, 5, 16, 32, 64}));
    QCOMPARE(float(readState(statePath())["de"].toDouble()), lastDose);
    QVERIFY(lastTime.date().year() < 2100);
  }

  void busyAnswers() {
    Simulator sim({"--busy", "2:nT"});
    QVERIFY(sim.port);
    FrameClient client;
    QVERIFY(client.open(sim.port));
    for (int round = 0; round < 2; ++round) {
      for (int busy = 0; busy < 2; ++busy) {
        client.socket.write(request('n'));
        QCOMPARE(client.read(1), QByteArray(1, Busy));
      }
      QCOMPARE(client.frame('n').size(), 13);
    }
    QCOMPARE(client.exchange(request('P')).strayBytes, 0);
    QVERIFY(client.quiet());
  }

  void strayBytesBeforeReplies() {
    Simulator sim({"--stray", "3:P"});
    QVERIFY(sim.port);
    FrameClient client;
    QVERIFY(client.open(sim.port));
    const Reply parameters = client.exchange(request('P'));
    QCOMPARE(parameters.strayBytes, 3);
    QCOMPARE(parameters.frame.size(), 34);
    QVERIFY(checksumOk(parameters.frame));
    QCOMPARE(client.exchange(request('T')).strayBytes, 0);
  }

  void splitRepliesArriveWholeAfterPauses() {
    Simulator sim({"--split", "3:H", "--split-pause", "60", "--events", "10"});
    QVERIFY(sim.port);
    FrameClient client;
    QVERIFY(client.open(sim.port));
    QElapsedTimer timer;
    timer.start();
    const QByteArray block = client.frame('H');
    QVERIFY(timer.elapsed() >= 110);
    QCOMPARE(block.size(), 205);
    QVERIFY(checksumOk(block));
    timer.restart();
    QCOMPARE(client.frame('n').size(), 13);
  }

  void spoiledChecksumsAndDates() {
    Simulator sim({"--bad-checksum", "PT", "--bad-date", "--state", statePath()});
    QVERIFY(sim.port);
    FrameClient client;
    QVERIFY(client.open(sim.port));
    const QByteArray parameters = client.frame('P');
    QCOMPARE(parameters.size(), 34);
    QVERIFY(!checksumOk(parameters));
    QCOMPARE(parameters.mid(4, 29), stateBytes(readState(statePath()), "parameters"));
    const QByteArray activation = client.frame('T');
    QCOMPARE(activation.size(), 12);
    QVERIFY(!checksumOk(activation));
    QCOMPARE(quint8(activation[5]), quint8(13));
    QVERIFY(checksumOk(client.frame('n')));

    Simulator dateOnly({"--bad-date"});
    FrameClient second;
    QVERIFY(second.open(dateOnly.port));
    const QByteArray date = second.frame('T');
    QVERIFY(checksumOk(date));
    QCOMPARE(quint8(date[5]), quint8(13));
  }

  void linkDropsAfterHistoryBlock() {
    Simulator sim({"--drop-after", "2", "--events", "30"});
    QVERIFY(sim.port);
    for (int round = 0; round < 2; ++round) {
      FrameClient client;
      QVERIFY(client.open(sim.port));
      QByteArray codes;
      QCOMPARE(client.history(&codes).size(), 400);
      QCOMPARE(codes, QByteArray("HH"));
      QVERIFY(client.socket.state() == QAbstractSocket::UnconnectedState ||
              client.socket.waitForDisconnected(WaitMs));
    }
  }

  void faultsLimitedToTheFirstLinks() {
    Simulator sim(
        {"--drop-after", "1", "--bad-checksum", "P", "--faulty-links", "1", "--events", "30"});
    QVERIFY(sim.port);
    FrameClient faulty;
    QVERIFY(faulty.open(sim.port));
    QVERIFY(!checksumOk(faulty.frame('P')));
    QCOMPARE(faulty.history().size(), 200);
    FrameClient sound;
    QVERIFY(sound.open(sim.port));
    QVERIFY(checksumOk(sound.frame('P')));
    QCOMPARE(sound.history().size(), 600);
  }

  void withoutNineWireTheDeviceRefuses() {
    Simulator sim({"--no-9wire"});
    QVERIFY(sim.port);
    QCOMPARE(lineRequest(sim.port, "IAS IrDA:IrCOMM Parameters"), QByteArray("OCTETSEQ 000102\n"));
    bool closed = false;
    QCOMPARE(lineRequest(sim.port, "CONNECT IrDA:IrCOMM 0", &closed), QByteArray("REFUSED\n"));
    QVERIFY(closed);

    Simulator refusing({"--refuse"});
    QCOMPARE(lineRequest(refusing.port, "IAS IrDA:IrCOMM Parameters"),
             QByteArray("OCTETSEQ 000104\n"));
    QCOMPARE(lineRequest(refusing.port, "CONNECT IrDA:IrCOMM 1"), QByteArray("REFUSED\n"));
  }

  void silentCommandsAndDamagedRequestsGetNoAnswer() {
    Simulator sim({"--silent", "T"});
    QVERIFY(sim.port);
    FrameClient client;
    QVERIFY(client.open(sim.port));
    client.socket.write(request('T'));
    QByteArray damaged = request('P');
    damaged[4] = char(damaged[4] ^ 1);
    client.socket.write(damaged);
    client.socket.write(request('Z'));
    // The next answer is the number's, with nothing in front of it.
    const Reply number = client.exchange(request('n'));
    QCOMPARE(number.strayBytes, 0);
    QCOMPARE(number.frame.size(), 13);
    QVERIFY(client.quiet());
  }
};

QTEST_GUILESS_MAIN(TestInstrument)
#include "tst_instrument.moc"
