#include "link/SerialIrdaStack.h"

#include <QFileInfo>
#include <QSerialPort>
#include <algorithm>
#include <cstring>

#include "link/InstrumentProtocol.h"
#include "link/IrdaLayout.h"
#include "link/IrdaTransport.h"
#include "link/LinkCodes.h"

namespace {

// The adapter offers IrCOMM in 9-wire form: it makes the connection itself.
const std::uint8_t NineWireParameters[] = {0x00, 0x01, 0x04};

// Where the port's device file is; empty where ports have no file (COM3).
QString PortFile(const QString &name) {
#ifdef Q_OS_WIN
  Q_UNUSED(name);
  return {};
#else
  return name.startsWith(u'/') ? name : QStringLiteral("/dev/") + name;
#endif
}

} // namespace

int PortOpenFailure(int serialPortError, bool exists, bool accessible) {
  switch (serialPortError) {
  case QSerialPort::NoError:
    return 0;
  case QSerialPort::DeviceNotFoundError:
    return LinkPortMissing;
  case QSerialPort::PermissionError:
    // The same error for a port held by another program and a port the user
    // may not open; the file's rights tell them apart.
    if (!exists)
      return LinkPortMissing;
    return accessible ? LinkPortBusy : LinkPortNoPermission;
  default:
    return exists ? LinkPortFailed : LinkPortMissing;
  }
}

SerialIrdaStack::SerialIrdaStack(SerialPortConfig config) : config_(std::move(config)) {}

SerialIrdaStack::~SerialIrdaStack() = default;

int SerialIrdaStack::Fail(int error) {
  lastError_ = error;
  return -1;
}

bool SerialIrdaStack::PortOpen() const {
  return port_ && port_->isOpen();
}

bool SerialIrdaStack::PortGone() const {
  return !PortOpen() || port_->error() == QSerialPort::ResourceError;
}

int SerialIrdaStack::Startup(std::uint16_t) {
  return 0;
}

void SerialIrdaStack::Cleanup() {}

IrdaSocket SerialIrdaStack::CreateSocket() {
  // One connection at a time: a new handle for each, the port not yet open.
  port_.reset();
  socket_ = ++lastSocket_;
  return socket_;
}

int SerialIrdaStack::OpenPort() {
  port_ = std::make_unique<QSerialPort>();
  port_->setPortName(config_.PortName);
  const bool opened = port_->open(QIODevice::ReadWrite);
  if (!opened) {
    const QString file = PortFile(config_.PortName);
    const QFileInfo info(file);
    const bool exists = file.isEmpty() || info.exists();
    const bool accessible = file.isEmpty() || (info.isReadable() && info.isWritable());
    const int failure = PortOpenFailure(port_->error(), exists, accessible);
    port_.reset();
    return failure != 0 ? failure : LinkPortFailed;
  }
  const bool set = port_->setBaudRate(config_.Speed) && port_->setDataBits(QSerialPort::Data8) &&
                   port_->setParity(QSerialPort::NoParity) &&
                   port_->setStopBits(QSerialPort::OneStop) &&
                   port_->setFlowControl(QSerialPort::NoFlowControl);
  if (!set) {
    port_.reset();
    return LinkPortFailed;
  }
  // Bytes left from an earlier connection belong to no request of this one.
  port_->clear();
  return 0;
}

bool SerialIrdaStack::InstrumentAnswers() {
  // The number command with the protocol's own busy and retry rules, over
  // this stack, bounded by the search's time.
  IrdaTransport probe(std::shared_ptr<IrdaStack>(std::shared_ptr<IrdaStack>(), this));
  probe.ReplyLimitMs = config_.ProbeTimeoutMs;
  // The search's time bounds the whole probe, busy answers included, and
  // the operator's Cancel ends it at once.
  const IrdaTransport::Clock::time_point deadline =
      probe.Now() + std::chrono::milliseconds(config_.ProbeTimeoutMs);
  probe.ProcessMessages = breathe_;
  probe.CancelRequested = [this, &probe, deadline] {
    return probe.Now() >= deadline || (cancelled_ && cancelled_());
  };
  std::int32_t number = 0;
  // Any answer means an instrument is there, also a busy, damaged or
  // unreadable one: the exchange then meets the same fault and names it,
  // instead of "no instrument in range". Only silence and a port that goes
  // away mean nobody is there.
  switch (ReadDeviceNumber(probe, socket_, number)) {
  case LinkOk:
  case LinkBadDeviceNumber:
  case LinkBusy:
  case LinkFailed:
    return true;
  default:
    return false;
  }
}

void SerialIrdaStack::SetWaitHooks(std::function<void()> breathe, std::function<bool()> cancelled) {
  breathe_ = std::move(breathe);
  cancelled_ = std::move(cancelled);
}

int SerialIrdaStack::EnumDevices(IrdaSocket socket, void *deviceList, int length) {
  if (!Owns(socket))
    return Fail(WsaNotSocket);
  if (length < static_cast<int>(sizeof(std::uint32_t) + sizeof(IRDA_DEVICE_INFO)))
    return Fail(WsaInvalidArgument);
  auto *out = static_cast<std::uint8_t *>(deviceList);
  std::uint32_t count = 0;
  if (!PortOpen()) {
    if (const int failure = OpenPort(); failure != 0) {
      std::memcpy(out, &count, 4);
      return Fail(failure);
    }
  }
  if (InstrumentAnswers()) {
    IRDA_DEVICE_INFO entry{};
    // The entry carries the port's name: the adapter knows no other.
    const QByteArray name = QFileInfo(config_.PortName).fileName().toLocal8Bit();
    std::memcpy(entry.irdaDeviceName, name.constData(),
                std::min<std::size_t>(name.size(), sizeof entry.irdaDeviceName));
    std::memcpy(out + 4, &entry, sizeof entry);
    count = 1;
  }
  std::memcpy(out, &count, 4);
  return 0;
}

int SerialIrdaStack::IasQuery(IrdaSocket socket, void *buffer, int length) {
  if (!Owns(socket))
    return Fail(WsaNotSocket);
  if (length < static_cast<int>(sizeof(IAS_QUERY)))
    return Fail(WsaInvalidArgument);
  auto &query = *static_cast<IAS_QUERY *>(buffer);
  const std::uint32_t type = IAS_ATTRIB_OCTETSEQ;
  const std::uint32_t size = sizeof NineWireParameters;
  std::memcpy(query.irdaAttribType, &type, 4);
  std::memcpy(query.irdaAttribLen, &size, 4);
  std::memcpy(query.irdaAttribValue, NineWireParameters, size);
  return 0;
}

int SerialIrdaStack::SetNineWireMode(IrdaSocket socket, int) {
  return Owns(socket) ? 0 : Fail(WsaNotSocket);
}

int SerialIrdaStack::Connect(IrdaSocket socket, const void *, int) {
  if (!Owns(socket))
    return Fail(WsaNotSocket);
  return PortGone() ? Fail(WsaConnectionReset) : 0;
}

int SerialIrdaStack::Send(IrdaSocket socket, const void *data, int length) {
  if (!Owns(socket))
    return Fail(WsaNotSocket);
  if (PortGone())
    return Fail(WsaConnectionReset);
  const qint64 written = port_->write(static_cast<const char *>(data), length);
  if (written < 0)
    return Fail(WsaConnectionReset);
  // The whole frame leaves before its reply is awaited.
  while (port_->bytesToWrite() > 0) {
    if (!port_->waitForBytesWritten(config_.ReplyTimeoutMs))
      return Fail(PortGone() ? WsaConnectionReset : WsaTimedOut);
  }
  return static_cast<int>(written);
}

int SerialIrdaStack::Receive(IrdaSocket socket, void *data, int length) {
  if (!Owns(socket))
    return Fail(WsaNotSocket);
  if (port_ && port_->bytesAvailable() == 0 && !PortGone())
    WaitReadable(socket, config_.ReplyTimeoutMs);
  if (!port_ || (port_->bytesAvailable() == 0 && PortGone()))
    return Fail(WsaConnectionReset);
  const qint64 n = port_->read(static_cast<char *>(data), length);
  if (n < 0)
    return Fail(WsaConnectionReset);
  if (n == 0)
    return Fail(WsaTimedOut);
  return static_cast<int>(n);
}

int SerialIrdaStack::WaitReadable(IrdaSocket socket, int timeoutMs) {
  if (!Owns(socket))
    return Fail(WsaNotSocket);
  if (!port_)
    return Fail(WsaConnectionReset);
  if (port_->bytesAvailable() > 0)
    return 1;
  if (PortGone())
    return Fail(WsaConnectionReset);
  if (port_->waitForReadyRead(std::max(timeoutMs, 0)))
    return 1;
  if (port_->error() == QSerialPort::TimeoutError) {
    port_->clearError();
    return 0;
  }
  // The port went away (the adapter was pulled out, the other side closed).
  return Fail(WsaConnectionReset);
}

int SerialIrdaStack::ReceiveTimeoutMs(IrdaSocket socket) {
  if (!Owns(socket))
    return Fail(WsaNotSocket);
  return config_.ReplyTimeoutMs;
}

int SerialIrdaStack::ModemLines(IrdaSocket socket) {
  if (!Owns(socket) || !PortOpen())
    return -1;
  const QSerialPort::PinoutSignals lines = port_->pinoutSignals();
  if (port_->error() != QSerialPort::NoError) { // a port without modem lines
    port_->clearError();
    return -1;
  }
  return (lines.testFlag(QSerialPort::DataSetReadySignal) ? ModemLineDsr : 0) |
         (lines.testFlag(QSerialPort::DataCarrierDetectSignal) ? ModemLineDcd : 0);
}

int SerialIrdaStack::Close(IrdaSocket socket) {
  if (!Owns(socket))
    return Fail(WsaNotSocket);
  port_.reset();
  socket_ = 0;
  return 0;
}
