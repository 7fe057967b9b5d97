#pragma once
#include <QByteArray>
#include <QProcess>
#include <QStringList>

// One instrument simulator on a free loopback port, for end-to-end tests.
// It is stopped when the object goes.
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
  bool isRunning() const { return port_ > 0 && process_.state() == QProcess::Running; }
  int port() const { return port_; }
  // The endpoint list that puts this instrument in range.
  QByteArray endpoint() const { return "127.0.0.1:" + QByteArray::number(port_); }

private:
  QProcess process_;
  int port_ = 0;
};
