#include "link/IrdaTransport.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "link/LinkCodes.h"

namespace {
constexpr char IrComm[] = "IrDA:IrCOMM";
constexpr std::uint16_t WinsockVersion = 0x0101;
} // namespace

IrdaTransport::IrdaTransport(std::shared_ptr<IrdaStack> stack)
    : Sleep([](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }),
      Now([] { return Clock::now(); }), stack_(std::move(stack)) {}

IrdaTransport::~IrdaTransport() {
  FreeOptionsLibrary();
}

int IrdaTransport::IrdaOpen(SOCKADDR_IRDA &address, IrdaSocket &socket) {
  address.irdaAddressFamily = 26;
  std::memset(address.irdaServiceName, 0, sizeof address.irdaServiceName);
  std::memcpy(address.irdaServiceName, IrComm, sizeof IrComm);
  if (stack_->Startup(WinsockVersion) != 0)
    return LinkFailed;
  socket = stack_->CreateSocket();
  if (socket == IrdaInvalidSocket)
    return IrdaSocketNotCreated;
  if (!optionsLibrary_) {
    optionsLibrary_ = stack_->LoadOptionsLibrary();
    setSockVal_ = nullptr;
  }
  if (optionsLibrary_) {
    setSockVal_ = stack_->FindSetSockVal(optionsLibrary_);
    if (setSockVal_)
      setSockVal_(static_cast<int>(socket));
  }
  return IrdaSocketCreated;
}

int IrdaTransport::IrdaFindDevices(DEVICELIST &deviceList, IrdaSocket socket) {
  int result = -1;
  stack_->SetWaitHooks(ProcessMessages, CancelRequested);
  for (int call = 1; call <= EnumerationTries; ++call) {
    result = stack_->EnumDevices(socket, &deviceList, sizeof(DEVICELIST));
    if (result == 0)
      break;
    if (call < EnumerationTries && Sleep)
      Sleep(EnumerationPauseMs);
  }
  stack_->SetWaitHooks({}, {});
  if (result != 0)
    return stack_->LastError();
  stack_->SetLastError(0);
  return deviceList.count() == 0 ? LinkNoDevice : LinkOk;
}

bool OffersNineWire(const std::uint8_t *octets, int count) {
  // Each parameter: identifier PI, length PL, PL value bytes.
  for (int at = 0; at + 2 < count; at += octets[at + 1] + 2) {
    if (octets[at] == 0x00 && octets[at + 1] >= 1 && (octets[at + 2] & 0x04))
      return true;
  }
  return false;
}

int IrdaTransport::IrdaConnect(int index, IrdaSocket socket, const DEVICELIST &deviceList,
                               SOCKADDR_IRDA &address) {
  const int listed =
      static_cast<int>(std::min<std::uint32_t>(deviceList.count(), DEVICELIST::MaxDevices));
  if (index < 0 || index >= listed)
    return WsaInvalidArgument;
  const IRDA_DEVICE_INFO &device = deviceList.Device[index];

  IAS_QUERY query;
  std::memcpy(address.irdaDeviceID, device.irdaDeviceID, 4);
  std::memcpy(query.irdaDeviceID, device.irdaDeviceID, 4);
  std::memcpy(query.irdaClassName, IrComm, sizeof IrComm);
  std::memcpy(query.irdaAttribName, "Parameters", sizeof "Parameters");
  if (stack_->IasQuery(socket, &query, sizeof(IAS_QUERY)) != 0)
    return stack_->LastError();

  const std::uint32_t octets = query.octetCount();
  if (query.attribType() != IAS_ATTRIB_OCTETSEQ || octets < 3)
    return WsaRefused;
  const int walked = static_cast<int>(std::min<std::uint32_t>(octets, IAS_QUERY::MaxOctets));
  if (!OffersNineWire(query.irdaAttribValue, walked))
    return WsaRefused;

  if (stack_->SetNineWireMode(socket, 0) != 0)
    return stack_->LastError();
  std::memset(address.irdaServiceName, 0, sizeof address.irdaServiceName);
  std::memcpy(address.irdaServiceName, IrComm, sizeof IrComm);
  if (stack_->Connect(socket, &address, sizeof(SOCKADDR_IRDA)) != 0)
    return stack_->LastError();
  return LinkOk;
}

int IrdaTransport::IrdaClose(IrdaSocket &socket) {
  int result = 0;
  // Handle 0 is "no connection": there is nothing to close.
  if (socket != 0 && stack_->Close(socket) != 0)
    result = stack_->LastError();
  socket = 0;
  stack_->Cleanup();
  return result;
}

int IrdaTransport::IrdaSend(IrdaSocket socket, const std::uint8_t *frame, int length) {
  int sent = 0;
  while (sent < length) {
    const int n = stack_->Send(socket, frame + sent, length - sent);
    if (n <= 0) {
      const int error = stack_->LastError();
      return error != 0 ? error : WsaConnectionReset;
    }
    sent += n;
  }
  return LinkOk;
}

int IrdaTransport::IrdaReceive(IrdaSocket socket, std::uint8_t *buffer, int &length) {
  return IrdaReceive(socket, buffer, length, Clock::time_point::max());
}

int IrdaTransport::AwaitData(IrdaSocket socket, Clock::time_point deadline) {
  // The socket's time-out still bounds how long nothing may arrive.
  Clock::time_point end = deadline;
  if (const int timeoutMs = stack_->ReceiveTimeoutMs(socket); timeoutMs > 0)
    end = std::min(end, Now() + std::chrono::milliseconds(timeoutMs));
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Now()).count();
    if (left <= 0)
      return WsaTimedOut;
    const int ready =
        stack_->WaitReadable(socket, static_cast<int>(std::min<long long>(left, WaitSliceMs)));
    if (ready > 0)
      return LinkOk;
    if (ready < 0)
      return stack_->LastError();
    if (ProcessMessages)
      ProcessMessages();
    if (Cancelled())
      return LinkCancelled;
  }
}

int IrdaTransport::IrdaReceive(IrdaSocket socket, std::uint8_t *buffer, int &length,
                               Clock::time_point deadline) {
  if (Cancelled())
    return LinkCancelled;
  if (CancelRequested || deadline != Clock::time_point::max()) {
    if (const int waited = AwaitData(socket, deadline); waited != LinkOk)
      return waited;
  }
  std::uint8_t incoming[MaxReceive];
  const int asked = std::min(std::max(length, 0), MaxReceive);
  int n = stack_->Receive(socket, incoming, asked);
  if (n < 0)
    return stack_->LastError();
  n = std::min(n, asked);
  if (n > 0)
    std::memcpy(buffer, incoming, static_cast<std::size_t>(n));
  length = n;
  return LinkOk;
}

void IrdaTransport::FreeOptionsLibrary() {
  if (optionsLibrary_)
    stack_->FreeOptionsLibrary(optionsLibrary_);
  optionsLibrary_ = nullptr;
  setSockVal_ = nullptr;
}
