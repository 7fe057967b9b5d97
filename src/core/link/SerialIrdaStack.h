#pragma once
#include <QString>
#include <memory>

#include "link/IrdaStack.h"

class QSerialPort;

// The serial port of an infrared adapter that carries the whole IrDA stack
// itself (discovery, IrLAP, IrLMP, IrCOMM) and passes the instrument's frames
// through unchanged.
struct SerialPortConfig {
  QString PortName;           // "/dev/ttyUSB0", "COM3", or any path to a terminal
  qint32 Speed = 115200;      // bit/s, 8 data bits, no parity, one stop bit
  int ReplyTimeoutMs = 10000; // receives wait this long, as the options library sets sockets
  // How long the search waits for the instrument's answer to the number
  // command: the adapter first has to find the instrument and connect to it.
  int ProbeTimeoutMs = 3000;
};

// The IrDA stack over such a port. The search opens the port and sends the
// number command: the instrument is in range when it answers (busy and
// retry rules as in every exchange); the port then stays open as the
// connection until Close. A port that cannot be opened fails the search with
// LinkPortMissing, LinkPortBusy, LinkPortNoPermission or LinkPortFailed; a
// port that goes away while open fails the receive with 10054. Sockets get no
// options library.
class SerialIrdaStack : public IrdaStack {
public:
  explicit SerialIrdaStack(SerialPortConfig config);
  ~SerialIrdaStack() override;

  int Startup(std::uint16_t version) override;
  void Cleanup() override;
  IrdaSocket CreateSocket() override;
  int EnumDevices(IrdaSocket socket, void *deviceList, int length) override;
  int IasQuery(IrdaSocket socket, void *query, int length) override;
  int SetNineWireMode(IrdaSocket socket, int value) override;
  int Connect(IrdaSocket socket, const void *address, int length) override;
  int Send(IrdaSocket socket, const void *data, int length) override;
  int Receive(IrdaSocket socket, void *data, int length) override;
  int Close(IrdaSocket socket) override;
  int WaitReadable(IrdaSocket socket, int timeoutMs) override;
  int ReceiveTimeoutMs(IrdaSocket socket) override;
  int ModemLines(IrdaSocket socket) override;
  void SetWaitHooks(std::function<void()> breathe, std::function<bool()> cancelled) override;
  int LastError() const override { return lastError_; }
  void SetLastError(int error) override { lastError_ = error; }
  void *LoadOptionsLibrary() override { return nullptr; }
  SetSockValProc FindSetSockVal(void *) override { return nullptr; }
  void FreeOptionsLibrary(void *) override {}

  const SerialPortConfig &Config() const { return config_; }
  bool PortOpen() const;

private:
  int Fail(int error);
  bool Owns(IrdaSocket socket) const { return socket != 0 && socket == socket_; }
  // Opens the port at the configured speed, 8N1, no flow control, with
  // nothing left in its buffers; 0 or a LinkPort... code.
  int OpenPort();
  // Whether the instrument answers the number command on the open port.
  bool InstrumentAnswers();
  bool PortGone() const;

  SerialPortConfig config_;
  std::function<void()> breathe_;
  std::function<bool()> cancelled_;
  std::unique_ptr<QSerialPort> port_;
  IrdaSocket socket_ = 0;
  IrdaSocket lastSocket_ = 0;
  int lastError_ = 0;
};

// Why a serial port cannot be opened, as a LinkPort... code (0: it can).
// `exists` and `accessible` are what the file system says of the port's
// path (a Windows COM name has no file: both true).
int PortOpenFailure(int serialPortError, bool exists, bool accessible);
