#pragma once
// A TCP connection of the virtual infrared link, with its session.

#include "LinkSession.h"

#include <QTcpSocket>

class TcpLink : public QObject, public LinkChannel {
  Q_OBJECT
public:
  // Lives as long as the socket.
  TcpLink(QTcpSocket *socket, Instrument &instrument, const DeviceIdentity &identity,
          const FaultPlan &plan, FaultBudget &budget, bool verbose);

  void write(const QByteArray &bytes) override;
  void hangUp() override;
  QString name() const override;

private:
  QTcpSocket *socket;
  LinkSession session;
};
