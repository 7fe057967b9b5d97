#pragma once
// One link to the instrument: on the virtual infrared link a TCP connection
// with a line (INFO, IAS or CONNECT) and, after a connect, raw instrument
// frames both ways; on a serial port raw frames from the start.

#include "FaultPlan.h"
#include "Instrument.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTimer>

// Where a link's bytes go, and how the instrument's side ends it.
class LinkChannel {
public:
  virtual ~LinkChannel() = default;
  virtual void write(const QByteArray &bytes) = 0;
  // Ends the link from the instrument's side (a drop); the session takes
  // nothing more.
  virtual void hangUp() = 0;
  virtual QString name() const = 0; // for the log
};

struct DeviceIdentity {
  quint32 id = 0;
  QByteArray name;
  quint8 hint1 = 0x80;
  quint8 hint2 = 0x04;
  quint8 charset = 0x00;
  QByteArray iasParameters; // the IrCOMM "Parameters" octet sequence
  bool refuseConnect = false;
};

class LinkSession : public QObject {
  Q_OBJECT
public:
  // The plan's faults apply while the budget (shared by all sessions) has links
  // left; each connected link uses one, a negative count never runs out.
  LinkSession(LinkChannel &channel, Instrument &instrument, const DeviceIdentity &identity,
              const FaultPlan &plan, FaultBudget &budget, bool verbose, QObject *parent);

  // Bytes the host sent.
  void receive(const QByteArray &bytes);
  // The link carries frames from now on and is one link of the fault budget.
  void startFraming();

private:
  struct Piece {
    QByteArray bytes;
    int pauseBeforeMs = 0;
    bool closeAfter = false;
  };

  void handleLine(const QByteArray &line);
  void handleFrames();
  void answerFrame(const QByteArray &request);
  void queueReply(const QByteArray &reply, char code, bool closeAfter);
  void sendLine(const QByteArray &line, bool closeAfter);
  void drain();
  void log(const QString &text) const;

  LinkChannel &channel;
  Instrument &instrument;
  const DeviceIdentity &identity;
  const FaultPlan &plan;
  FaultBudget &budget;
  FaultPlan faults;
  bool verbose;
  bool framing = false;
  bool closing = false;
  QByteArray input;
  QList<Piece> output;
  QTimer pause;
  int busyAnswers = 0;
  QByteArray busyRequest; // the request the busy answers are for
  HistoryCursor cursor;
};
