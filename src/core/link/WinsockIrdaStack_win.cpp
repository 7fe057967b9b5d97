// The IrDA stack of Windows: Winsock with the IrDA address family.
// winsock2.h must come before windows.h, and af_irda.h after both.
#include <winsock2.h>

#include <windows.h>

#include <af_irda.h>

#include "link/IrdaStack.h"

namespace {

SOCKET ToSocket(IrdaSocket socket) {
  return static_cast<SOCKET>(socket);
}

class WinsockIrdaStack : public IrdaStack {
public:
  int Startup(std::uint16_t version) override {
    WSADATA data;
    return WSAStartup(version, &data);
  }

  void Cleanup() override { WSACleanup(); }

  IrdaSocket CreateSocket() override {
    const SOCKET s = socket(AF_IRDA, SOCK_STREAM, 0);
    return s == INVALID_SOCKET ? IrdaInvalidSocket : static_cast<IrdaSocket>(s);
  }

  int EnumDevices(IrdaSocket socket, void *deviceList, int length) override {
    int size = length;
    return getsockopt(ToSocket(socket), SOL_IRLMP, IRLMP_ENUMDEVICES,
                      static_cast<char *>(deviceList), &size) == SOCKET_ERROR
               ? -1
               : 0;
  }

  int IasQuery(IrdaSocket socket, void *query, int length) override {
    int size = length;
    return getsockopt(ToSocket(socket), SOL_IRLMP, IRLMP_IAS_QUERY, static_cast<char *>(query),
                      &size) == SOCKET_ERROR
               ? -1
               : 0;
  }

  int SetNineWireMode(IrdaSocket socket, int value) override {
    return setsockopt(ToSocket(socket), SOL_IRLMP, IRLMP_9WIRE_MODE,
                      reinterpret_cast<const char *>(&value), sizeof value) == SOCKET_ERROR
               ? -1
               : 0;
  }

  int Connect(IrdaSocket socket, const void *address, int length) override {
    return connect(ToSocket(socket), static_cast<const sockaddr *>(address), length) == SOCKET_ERROR
               ? -1
               : 0;
  }

  int Send(IrdaSocket socket, const void *data, int length) override {
    const int n = send(ToSocket(socket), static_cast<const char *>(data), length, 0);
    return n == SOCKET_ERROR ? -1 : n;
  }

  int Receive(IrdaSocket socket, void *data, int length) override {
    const int n = recv(ToSocket(socket), static_cast<char *>(data), length, 0);
    return n == SOCKET_ERROR ? -1 : n;
  }

  int Close(IrdaSocket socket) override {
    return closesocket(ToSocket(socket)) == SOCKET_ERROR ? -1 : 0;
  }

  int WaitReadable(IrdaSocket socket, int timeoutMs) override {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(ToSocket(socket), &readable);
    const int ms = timeoutMs > 0 ? timeoutMs : 0;
    timeval timeout{ms / 1000, ms % 1000 * 1000};
    const int n = select(0, &readable, nullptr, nullptr, &timeout);
    if (n == SOCKET_ERROR)
      return -1;
    return n > 0 ? 1 : 0;
  }

  int ReceiveTimeoutMs(IrdaSocket socket) override {
    DWORD timeout = 0;
    int size = sizeof timeout;
    if (getsockopt(ToSocket(socket), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<char *>(&timeout),
                   &size) == SOCKET_ERROR)
      return 0;
    return timeout > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(timeout);
  }

  int LastError() const override { return WSAGetLastError(); }
  void SetLastError(int error) override { WSASetLastError(error); }

  void *LoadOptionsLibrary() override {
    return reinterpret_cast<void *>(LoadLibraryA("Wiretune.dll"));
  }

  SetSockValProc FindSetSockVal(void *library) override {
    const FARPROC proc = GetProcAddress(static_cast<HMODULE>(library), "SetSockVal");
    return reinterpret_cast<SetSockValProc>(reinterpret_cast<void (*)()>(proc));
  }

  void FreeOptionsLibrary(void *library) override { FreeLibrary(static_cast<HMODULE>(library)); }
};

static_assert(sizeof(SOCKADDR_IRDA) == 32);
static_assert(sizeof(IRDA_DEVICE_INFO) == 29);

} // namespace

std::unique_ptr<IrdaStack> CreatePlatformIrdaStack() {
  return std::make_unique<WinsockIrdaStack>();
}
