#pragma once
// One TCP connection of the virtual infrared link: a line (INFO, IAS or CONNECT) and,
// after a connect, raw instrument frames both ways.

#include "FaultPlan.h"
#include "Instrument.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTimer>

class QTcpSocket;

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
  LinkSession(QTcpSocket *socket, Instrument &instrument, const DeviceIdentity &identity,
              const FaultPlan &plan, FaultBudget &budget, bool verbose);

private:
  struct Piece {
    QByteArray bytes;
    int pauseBeforeMs = 0;
    bool closeAfter = false;
  };

  void receive();
  void handleLine(const QByteArray &line);
  void handleFrames();
  void answerFrame(const QByteArray &request);
  void queueReply(const QByteArray &reply, char code, bool closeAfter);
  void sendLine(const QByteArray &line, bool closeAfter);
  void drain();
  void log(const QString &text) const;

  QTcpSocket *socket;
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
