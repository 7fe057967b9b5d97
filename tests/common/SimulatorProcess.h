#pragma once
#include <QByteArray>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// One instrument simulator on a free loopback port (or, with --serial, behind
// a pseudo-terminal), for end-to-end tests. It is stopped when the object goes.
class SimulatorProcess {
public:
  explicit SimulatorProcess(const QStringList &arguments = {}) {
    process_.setProgram(QStringLiteral(VX_BIN_DIR) + "/vx4418-instrument");
    process_.setArguments(QStringList{"--port", "0"} + arguments);
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start();
    if (!process_.waitForStarted(5000))
      return;
    QByteArray line;
    while (!line.contains('\n') && process_.waitForReadyRead(5000))
      line += process_.readLine();
    if (line.startsWith("LISTENING "))
      port_ = line.mid(10).trimmed().toInt();
    else if (line.startsWith("SERIAL "))
      serialPath_ = QString::fromLocal8Bit(line.mid(7).trimmed());
  }
  ~SimulatorProcess() { stop(); }

  void stop() {
    if (process_.state() == QProcess::NotRunning)
      return;
    process_.terminate();
    if (!process_.waitForFinished(3000)) {
      process_.kill();
      process_.waitForFinished(3000);
    }
  }
  bool isRunning() const {
    return (port_ > 0 || !serialPath_.isEmpty()) && process_.state() == QProcess::Running;
  }
  // The port it sits behind, with --serial.
  QString serialPath() const { return serialPath_; }
  int port() const { return port_; }
  // The endpoint list that puts this instrument in range.
  QByteArray endpoint() const { return "127.0.0.1:" + QByteArray::number(port_); }
  // What the simulator wrote to standard error so far (why it did not start).
  QByteArray errorOutput() { return process_.readAllStandardError(); }

private:
  QProcess process_;
  int port_ = 0;
  QString serialPath_;
};

// The instrument's memory as the simulator keeps it in its --state file.
struct SimulatorState {
  QByteArray file;       // the whole file, for byte-exact comparisons
  qint32 number = -1;    // instrument number
  QByteArray parameters; // parameter reply bytes 4..32
  QByteArray activation; // date-time group: day, month, year (LE), hour, minute, second
  double de = 0;         // accumulated dose, Sv
  QByteArray history;    // raw 20-byte records

  // False when the file cannot be read or is not a simulator state file.
  bool load(const QString &path) {
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
      return false;
    file = in.readAll();
    const QJsonObject object = QJsonDocument::fromJson(file).object();
    if (object["format"].toString() != QLatin1String("vx4418-instrument-state"))
      return false;
    number = object["number"].toInt(-1);
    parameters = QByteArray::fromHex(object["parameters"].toString().toLatin1());
    activation = QByteArray::fromHex(object["activation"].toString().toLatin1());
    de = object["de"].toDouble();
    history = QByteArray::fromBase64(object["history"].toString().toLatin1());
    return history.size() == object["historyLength"].toInt(-1);
  }
};

// The raw history of a simulated instrument with `events` events, as its
// memory holds them.
inline QByteArray SimulatedHistory(int events) {
  QTemporaryDir dir;
  const QString file = dir.filePath("state.json");
  SimulatorProcess simulator({"--state", file, "--events", QString::number(events)});
  SimulatorState state;
  state.load(file);
  return state.history;
}

// A full history area (13,317 events), made once per test program.
inline constexpr int FullEvents = 13317;
inline const QByteArray &FullHistory() {
  static const QByteArray history = SimulatedHistory(FullEvents);
  return history;
}
