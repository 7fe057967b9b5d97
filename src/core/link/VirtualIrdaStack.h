#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "link/IrdaStack.h"

// Where the virtual IrDA link looks for instruments and the options library.
struct VirtualIrdaConfig {
  // "host:port" in range order; unset: VX4418_IRDA_DEVICES, read at every
  // device search.
  std::optional<std::vector<std::string>> Endpoints;
  std::string LibraryFolder; // folder holding libWiretune.so
  int RangeTimeoutMs = 300;  // an endpoint slower than this is out of range
  int ReplyTimeoutMs = 2000; // IAS and CONNECT answers of a device in range
};

// The endpoints listed in VX4418_IRDA_DEVICES (default 127.0.0.1:4418).
std::vector<std::string> EndpointsFromEnvironment();
// Endpoints from the environment, options library from the folder of the
// running executable.
VirtualIrdaConfig VirtualIrdaConfigFromEnvironment();
std::vector<std::string> ParseEndpointList(const std::string &list);

// Maps an errno value to the Windows Sockets code the program expects.
int WsaErrorFromErrno(int error);

// The IrDA stack over the virtual IrDA link: each instrument is a TCP
// endpoint speaking the INFO / IAS / CONNECT lines, after which the
// connection carries the raw instrument frames. Sockets are real TCP sockets,
// so the options library tunes the socket that carries the frames.
class VirtualIrdaStack : public IrdaStack {
public:
  static constexpr int MaxLine = 4096;

  explicit VirtualIrdaStack(VirtualIrdaConfig config);
  ~VirtualIrdaStack() override;

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
  int LastError() const override { return lastError_; }
  void SetLastError(int error) override { lastError_ = error; }
  void *LoadOptionsLibrary() override;
  SetSockValProc FindSetSockVal(void *library) override;
  void FreeOptionsLibrary(void *library) override;

  const VirtualIrdaConfig &Config() const { return config_; }

private:
  int Fail(int wsaError);
  bool Owns(IrdaSocket socket) const { return sockets_.count(socket) != 0; }
  const std::string *EndpointOf(const std::uint8_t *deviceId) const;

  VirtualIrdaConfig config_;
  int lastError_ = 0;
  std::set<IrdaSocket> sockets_;                                       // sockets this stack created
  std::map<IrdaSocket, int> nineWire_;                                 // 9-wire mode set per socket
  std::map<std::array<std::uint8_t, 4>, std::string> deviceEndpoints_; // last device list
};
