#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "link/IrdaLayout.h"
#include "link/IrdaStack.h"

// The infrared transport under the instrument commands: Winsock start-up, one
// IrDA stream socket tuned by the socket options library, the device list, the
// IrCOMM 9-wire check, connect, send, receive and close. Results are the codes
// of LinkCodes.h. One instance lives for the whole run; it owns the loaded
// options library until FreeOptionsLibrary (main window destruction).
class IrdaTransport {
public:
  static constexpr int EnumerationTries = 49;
  static constexpr int EnumerationPauseMs = 10;
  static constexpr int MaxReceive = 500;
  // Longest single wait of a receive while a cancel hook is set or the reply
  // has a deadline: the operator's Cancel takes effect within about this long.
  static constexpr int WaitSliceMs = 200;

  using Clock = std::chrono::steady_clock;

  explicit IrdaTransport(std::shared_ptr<IrdaStack> stack);
  ~IrdaTransport();
  IrdaTransport(const IrdaTransport &) = delete;
  IrdaTransport &operator=(const IrdaTransport &) = delete;

  // Starts Winsock 1.1 and creates the socket into `socket`, then tunes it.
  // IrdaSocketCreated, IrdaSocketNotCreated (socket is then -1), or -1 when
  // Winsock cannot start (socket untouched).
  int IrdaOpen(SOCKADDR_IRDA &address, IrdaSocket &socket);
  // Fills the device list. 0: at least one device; -2: none; else Winsock error.
  int IrdaFindDevices(DEVICELIST &deviceList, IrdaSocket socket);
  // Connects to entry `index` when it offers IrCOMM in 9-wire form.
  // 0, 10061 (no IrCOMM 9-wire) or a Winsock error.
  int IrdaConnect(int index, IrdaSocket socket, const DEVICELIST &deviceList,
                  SOCKADDR_IRDA &address);
  // Closes the socket and ends Winsock use; `socket` is 0 afterwards.
  // 0 or the Winsock error of the close.
  int IrdaClose(IrdaSocket &socket);
  // Sends the whole frame (repeating after partial sends). 0 or Winsock error.
  int IrdaSend(IrdaSocket socket, const std::uint8_t *frame, int length);
  // One receive of at most `length` bytes (at most 500). On success `length`
  // becomes the count received (0 when the peer closed). 0, LinkCancelled or
  // a Winsock error (then `length` and `buffer` are unchanged). Without a
  // cancel hook it blocks as long as the socket lets it.
  int IrdaReceive(IrdaSocket socket, std::uint8_t *buffer, int &length);
  // The same receive, for a reply that must be complete by `deadline`
  // (Clock::time_point::max(): no deadline). It first asks CancelRequested
  // (LinkCancelled). With a cancel hook or a deadline it waits for data in
  // slices of at most WaitSliceMs, processing messages and asking the hook
  // between them; WsaTimedOut once the socket's own receive time-out passed
  // without data, or the deadline passed.
  int IrdaReceive(IrdaSocket socket, std::uint8_t *buffer, int &length, Clock::time_point deadline);

  // Frees the options library if it is loaded (at program end).
  void FreeOptionsLibrary();
  bool OptionsLibraryLoaded() const { return optionsLibrary_ != nullptr; }

  IrdaStack &Stack() { return *stack_; }

  // Waits between enumeration tries; tests replace it so they do not wait.
  std::function<void(int milliseconds)> Sleep;
  // Lets the window system process pending messages; the exchange window
  // points it at its event loop. Empty: nothing to process.
  std::function<void()> ProcessMessages;
  // Asked between receives whether the operator cancelled; the exchange in
  // progress then ends with LinkCancelled. Empty: never.
  std::function<bool()> CancelRequested;
  // The time receives are measured by; tests replace it.
  std::function<Clock::time_point()> Now;
  // A whole reply, or one history block, must arrive within this long of its
  // request, however the instrument paces its bytes.
  int ReplyLimitMs = 10000;

private:
  bool Cancelled() const { return CancelRequested && CancelRequested(); }
  // Waits until something can be received; 0, LinkCancelled, WsaTimedOut or
  // the stack's error.
  int AwaitData(IrdaSocket socket, Clock::time_point deadline);

  std::shared_ptr<IrdaStack> stack_;
  void *optionsLibrary_ = nullptr;
  SetSockValProc setSockVal_ = nullptr;
};

// Whether an IAS "Parameters" octet sequence offers IrCOMM in 9-wire form:
// walks the PI/PL/PV parameters for a service type (PI 0) with bit 0x04.
bool OffersNineWire(const std::uint8_t *octets, int count);
