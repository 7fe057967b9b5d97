#pragma once
#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// A child process that files into a database (a copy of the program cut down
// to its filing, see tests/e2e/faults/FilingProgram.cpp). It says READY once
// its database is open, starts on go(), says FILING when the work begins and
// DONE <ok> <ms> ... when it ends. Killed when the object goes.
class FilingProcess {
public:
  FilingProcess(const QString &program, const QStringList &arguments,
                const QByteArray &endpoints = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    if (!endpoints.isEmpty())
      env.insert("VX4418_IRDA_DEVICES", QString::fromLatin1(endpoints));
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start(program, arguments);
  }
  ~FilingProcess() { kill(); }

  // Waits for a line that starts with `word`; false when the process ends or
  // the time runs out first.
  bool waitFor(const QByteArray &word, int ms = 20000) {
    const QDeadlineTimer deadline(ms);
    for (;;) {
      while (process_.canReadLine()) {
        const QByteArray line = process_.readLine().trimmed();
        lines_ << line;
        if (line.startsWith(word))
          return true;
      }
      if (deadline.hasExpired() || process_.state() == QProcess::NotRunning)
        return false;
      process_.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
  }
  void go() {
    process_.write("go\n");
    process_.waitForBytesWritten(1000);
  }
  // SIGKILL: no clean-up of any kind in the child.
  void kill() {
    if (process_.state() == QProcess::NotRunning)
      return;
    process_.kill();
    process_.waitForFinished(5000);
  }
  bool finished(int ms = 30000) { return process_.waitForFinished(ms); }
  bool running() const { return process_.state() != QProcess::NotRunning; }
  qint64 pid() const { return process_.processId(); }
  // Every line read so far, and the fields of the DONE line (empty before).
  const QList<QByteArray> &lines() const { return lines_; }
  QList<QByteArray> done() const {
    for (const QByteArray &line : lines_)
      if (line.startsWith("DONE "))
        return line.mid(5).split(' ');
    return {};
  }
  QByteArray errorOutput() { return process_.readAllStandardError(); }

private:
  QProcess process_;
  QList<QByteArray> lines_;
};
