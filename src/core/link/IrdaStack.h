#pragma once
#include <cstdint>
#include <functional>
#include <memory>

// A socket handle of the IrDA stack. 0 stands for no connection, -1 for a
// socket that could not be created.
using IrdaSocket = std::intptr_t;
constexpr IrdaSocket IrdaInvalidSocket = -1;

// The export SetSockVal of the socket options library.
using SetSockValProc = bool (*)(int socket);

// The socket calls the IrDA transport makes, one per platform call. Calls
// that fail return -1 (or the invalid socket) and leave their Windows
// Sockets error code for LastError, as Winsock does. Buffers are the raw
// records of IrdaLayout.h. Plain C++ so the Windows backend builds without Qt.
class IrdaStack {
public:
  virtual ~IrdaStack() = default;

  // WSAStartup / WSACleanup. Startup returns 0 or an error code.
  virtual int Startup(std::uint16_t version) = 0;
  virtual void Cleanup() = 0;

  // socket(AF_IRDA, SOCK_STREAM, 0).
  virtual IrdaSocket CreateSocket() = 0;
  // getsockopt(SOL_IRLMP, IRLMP_ENUMDEVICES) into a DEVICELIST of `length` bytes.
  virtual int EnumDevices(IrdaSocket socket, void *deviceList, int length) = 0;
  // getsockopt(SOL_IRLMP, IRLMP_IAS_QUERY) on an IAS_QUERY of `length` bytes.
  virtual int IasQuery(IrdaSocket socket, void *query, int length) = 0;
  // setsockopt(SOL_IRLMP, IRLMP_9WIRE_MODE) with a 4-byte integer.
  virtual int SetNineWireMode(IrdaSocket socket, int value) = 0;
  // connect to a SOCKADDR_IRDA of `length` bytes.
  virtual int Connect(IrdaSocket socket, const void *address, int length) = 0;
  // send / recv with flags 0: the count of bytes moved, or -1.
  virtual int Send(IrdaSocket socket, const void *data, int length) = 0;
  virtual int Receive(IrdaSocket socket, void *data, int length) = 0;
  // closesocket.
  virtual int Close(IrdaSocket socket) = 0;
  // Waits at most `timeoutMs` for something to receive (data, or the peer
  // closing): 1 when a receive would not block, 0 when the time passed
  // first, -1 on failure (LastError).
  virtual int WaitReadable(IrdaSocket socket, int timeoutMs) = 0;
  // The socket's receive time-out (SO_RCVTIMEO) in milliseconds; 0 when
  // receives wait without one.
  virtual int ReceiveTimeoutMs(IrdaSocket socket) = 0;

  // The modem lines the adapter under the connection reports (ModemLineDsr,
  // ModemLineDcd of LinkCodes.h), or -1 when it reports none (a socket, or a
  // port without modem lines).
  virtual int ModemLines(IrdaSocket) { return -1; }

  // For a stack that talks to the instrument during the search (an adapter's
  // serial port asks for its number): what to do while it waits, keep the
  // window alive and stop when the operator cancels. The transport sets them
  // around each search and clears them after it. Other stacks ignore them.
  virtual void SetWaitHooks(std::function<void()> /*breathe*/,
                            std::function<bool()> /*cancelled*/) {}

  // WSAGetLastError / WSASetLastError.
  virtual int LastError() const = 0;
  virtual void SetLastError(int error) = 0;

  // The socket options library: load it (nullptr when it cannot be loaded),
  // find its export SetSockVal (nullptr when missing), free it.
  virtual void *LoadOptionsLibrary() = 0;
  virtual SetSockValProc FindSetSockVal(void *library) = 0;
  virtual void FreeOptionsLibrary(void *library) = 0;
};

// The stack of this platform: the virtual IrDA link on Linux (endpoints from
// VX4418_IRDA_DEVICES, options library from the program's folder), Winsock
// with AF_IRDA on Windows.
std::unique_ptr<IrdaStack> CreatePlatformIrdaStack();
