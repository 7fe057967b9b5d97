#include "TcpLink.h"

TcpLink::TcpLink(QTcpSocket *socket, Instrument &instrument, const DeviceIdentity &identity,
                 const FaultPlan &plan, FaultBudget &budget, bool verbose)
    : QObject(socket), socket(socket),
      session(*this, instrument, identity, plan, budget, verbose, this) {
  socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  connect(socket, &QTcpSocket::readyRead, this,
          [this] { session.receive(this->socket->readAll()); });
  connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
  session.receive(socket->readAll());
}

void TcpLink::write(const QByteArray &bytes) {
  socket->write(bytes);
  socket->flush();
}

void TcpLink::hangUp() {
  socket->disconnectFromHost();
}

QString TcpLink::name() const {
  return QString::number(socket->peerPort());
}
