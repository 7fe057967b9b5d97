#pragma once
// The instrument behind a serial port: a pseudo-terminal whose other side a
// host opens as it would open the port of a serial infrared adapter. Every
// opening of the port by a host is one link, raw frames from the first byte;
// a drop closes the pseudo-terminal (the port disappears) and makes a new one.

#include "LinkSession.h"

#include <QObject>
#include <QSocketNotifier>
#include <memory>

class SerialLink : public QObject, public LinkChannel {
  Q_OBJECT
public:
  // `linkPath`: a symbolic link kept pointing at the pseudo-terminal; empty:
  // none.
  SerialLink(QString linkPath, Instrument &instrument, const DeviceIdentity &identity,
             const FaultPlan &plan, FaultBudget &budget, bool verbose);
  ~SerialLink() override;

  // Makes the pseudo-terminal and prints "SERIAL <path>"; false and why when
  // it cannot.
  bool open(QString &error);

  void write(const QByteArray &bytes) override;
  void hangUp() override;
  QString name() const override { return QStringLiteral("serial"); }

private:
  void hangUpWhenRead(int waitedMs, int emptyChecks);
  void closePty();
  void readHost();
  // Takes the host's openings and closings that happened so far.
  void takeOpenings();
  void endLink();
  void log(const QString &text) const;

  QString linkPath;
  Instrument &instrument;
  const DeviceIdentity &identity;
  const FaultPlan &plan;
  FaultBudget &budget;
  bool verbose;
  int master = -1;
  int slaveHeld = -1; // keeps the terminal alive between the host's openings
  int events = -1;    // inotify on the terminal's path
  int openings = 0;   // the host's open file descriptions of the terminal
  std::unique_ptr<QSocketNotifier> hostNotifier, eventNotifier;
  LinkSession *session = nullptr;
};
