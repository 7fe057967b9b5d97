#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "link/IrdaStack.h"

// A scripted IrDA stack for tests: every call takes its answer from a queue
// (or a default), and every call is recorded.
class FakeIrdaStack : public IrdaStack {
public:
  struct Device {
    std::array<std::uint8_t, 4> Id{1, 2, 3, 4};
    std::string Name = "VX4418";
    std::uint8_t Hints1 = 0x82, Hints2 = 0x04, CharSet = 0;
  };
  // One answer of the enumeration call: an error, or a list of devices.
  struct Enumeration {
    int Error = 0;
    std::vector<Device> Devices;
  };
  // One answer of the IAS query.
  struct Ias {
    int Error = 0;
    std::uint32_t Type = 2; // octet sequence
    std::vector<std::uint8_t> Octets{0x00, 0x01, 0x04};
  };
  // What one receive delivers: the bytes of a piece (a receive takes at most
  // what it asks for and leaves the rest for the next), an error, or nothing
  // (no bytes and no error: the peer closed). SilentMs: how long the peer
  // stays silent before the piece, on the fake clock.
  struct Incoming {
    std::vector<std::uint8_t> Bytes;
    int Error = 0;
    int SilentMs = 0;
  };

  // Scripts. Empty queues give the defaults.
  std::deque<int> StartupResults;       // default 0
  std::deque<int> SocketErrors;         // non-zero: socket creation fails so
  std::deque<Enumeration> Enumerations; // default: Devices
  std::vector<Device> Devices{Device{}};
  std::deque<Ias> IasAnswers;                                 // default: Ias{}
  std::deque<int> NineWireErrors, ConnectErrors, CloseErrors; // default 0
  std::deque<int> SendResults;       // >0: at most that many bytes taken; <0: -error
  std::deque<Incoming> Received;     // what receives deliver, in order
  int ReceiveErrorWhenEmpty = 10060; // a receive with nothing queued times out
  int ReceiveTimeout = 0;            // the socket's receive time-out, ms (0: none)
  std::int64_t ClockMs = 0;          // the fake clock, moved on by waits for silent pieces
  // Called with the bytes of every accepted send; may queue the replies.
  std::function<void(std::span<const std::uint8_t> sent, FakeIrdaStack &stack)> Responder;
  bool LibraryPresent = false;
  bool ExportPresent = true;

  // Records.
  int StartupCalls = 0, CleanupCalls = 0, EnumCalls = 0, LoadCalls = 0, FreeCalls = 0;
  std::vector<IrdaSocket> ClosedSockets;
  std::vector<int> NineWireValues;
  std::vector<std::vector<std::uint8_t>> IasQueries; // the whole query buffers
  std::vector<std::vector<std::uint8_t>> Connects;   // the whole address buffers
  std::vector<std::vector<std::uint8_t>> Sends;      // the bytes each send took
  std::vector<int> ReceiveSizes;                     // what each receive asked for
  std::vector<int> WaitTimes;                        // what each wait for data allowed
  // Sockets SetSockVal of the fake options library was called with.
  static std::vector<int> &SetSockValCalls();

  // Queue helpers.
  void Queue(std::vector<std::uint8_t> piece) { Received.push_back({std::move(piece), 0}); }
  void QueueError(int error) { Received.push_back({{}, error}); }
  void QueueClosed() { Received.push_back({}); }
  void QueueAfter(int silentMs, std::vector<std::uint8_t> piece) {
    Received.push_back({std::move(piece), 0, silentMs});
  }
  // All bytes sent so far, in order.
  std::vector<std::uint8_t> SentBytes() const;

  int Startup(std::uint16_t version) override;
  void Cleanup() override { ++CleanupCalls; }
  IrdaSocket CreateSocket() override;
  int EnumDevices(IrdaSocket socket, void *deviceList, int length) override;
  int IasQuery(IrdaSocket socket, void *query, int length) override;
  int SetNineWireMode(IrdaSocket socket, int value) override;
  int Connect(IrdaSocket socket, const void *address, int length) override;
  int Send(IrdaSocket socket, const void *data, int length) override;
  int Receive(IrdaSocket socket, void *data, int length) override;
  int Close(IrdaSocket socket) override;
  int WaitReadable(IrdaSocket socket, int timeoutMs) override;
  int ReceiveTimeoutMs(IrdaSocket) override { return ReceiveTimeout; }
  int LastError() const override { return lastError_; }
  void SetLastError(int error) override { lastError_ = error; }
  void *LoadOptionsLibrary() override;
  SetSockValProc FindSetSockVal(void *library) override;
  void FreeOptionsLibrary(void *library) override;

private:
  int Fail(int error);
  int lastError_ = 0;
  IrdaSocket nextSocket_ = 100;
  int library_ = 0; // its address stands for the loaded library
};
