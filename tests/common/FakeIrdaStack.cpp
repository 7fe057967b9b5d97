#include "FakeIrdaStack.h"

#include <algorithm>
#include <cstring>

#include "link/IrdaLayout.h"

namespace {

template <typename T> T Take(std::deque<T> &queue, T fallback) {
  if (queue.empty())
    return fallback;
  T front = std::move(queue.front());
  queue.pop_front();
  return front;
}

bool FakeSetSockVal(int socket) {
  FakeIrdaStack::SetSockValCalls().push_back(socket);
  return true;
}

} // namespace

std::vector<int> &FakeIrdaStack::SetSockValCalls() {
  static std::vector<int> calls;
  return calls;
}

std::vector<std::uint8_t> FakeIrdaStack::SentBytes() const {
  std::vector<std::uint8_t> all;
  for (const auto &piece : Sends)
    all.insert(all.end(), piece.begin(), piece.end());
  return all;
}

int FakeIrdaStack::Fail(int error) {
  lastError_ = error;
  return -1;
}

int FakeIrdaStack::Startup(std::uint16_t) {
  ++StartupCalls;
  return Take(StartupResults, 0);
}

IrdaSocket FakeIrdaStack::CreateSocket() {
  if (const int error = Take(SocketErrors, 0); error != 0) {
    lastError_ = error;
    return IrdaInvalidSocket;
  }
  return nextSocket_++;
}

int FakeIrdaStack::EnumDevices(IrdaSocket, void *deviceList, int length) {
  ++EnumCalls;
  const Enumeration answer = Take(Enumerations, Enumeration{0, Devices});
  if (answer.Error != 0)
    return Fail(answer.Error);
  if (length < static_cast<int>(sizeof(DEVICELIST)))
    return Fail(10022);
  auto &list = *static_cast<DEVICELIST *>(deviceList);
  const auto count = std::min<std::size_t>(answer.Devices.size(), DEVICELIST::MaxDevices);
  list.setCount(static_cast<std::uint32_t>(count));
  for (std::size_t i = 0; i < count; ++i) {
    const Device &d = answer.Devices[i];
    IRDA_DEVICE_INFO &entry = list.Device[i];
    entry = {};
    std::memcpy(entry.irdaDeviceID, d.Id.data(), 4);
    std::memcpy(entry.irdaDeviceName, d.Name.data(), std::min<std::size_t>(d.Name.size(), 22));
    entry.irdaDeviceHints1 = d.Hints1;
    entry.irdaDeviceHints2 = d.Hints2;
    entry.irdaCharSet = d.CharSet;
  }
  return 0;
}

int FakeIrdaStack::IasQuery(IrdaSocket, void *buffer, int length) {
  const auto *bytes = static_cast<const std::uint8_t *>(buffer);
  IasQueries.emplace_back(bytes, bytes + length);
  const Ias answer = Take(IasAnswers, Ias{});
  if (answer.Error != 0)
    return Fail(answer.Error);
  auto &query = *static_cast<IAS_QUERY *>(buffer);
  const auto count = static_cast<std::uint32_t>(answer.Octets.size());
  std::memcpy(query.irdaAttribType, &answer.Type, 4);
  std::memcpy(query.irdaAttribLen, &count, 4);
  if (!answer.Octets.empty())
    std::memcpy(query.irdaAttribValue, answer.Octets.data(),
                std::min<std::size_t>(answer.Octets.size(), sizeof query.irdaAttribValue));
  return 0;
}

int FakeIrdaStack::SetNineWireMode(IrdaSocket, int value) {
  NineWireValues.push_back(value);
  const int error = Take(NineWireErrors, 0);
  return error != 0 ? Fail(error) : 0;
}

int FakeIrdaStack::Connect(IrdaSocket, const void *address, int length) {
  const auto *bytes = static_cast<const std::uint8_t *>(address);
  Connects.emplace_back(bytes, bytes + length);
  const int error = Take(ConnectErrors, 0);
  return error != 0 ? Fail(error) : 0;
}

int FakeIrdaStack::Send(IrdaSocket, const void *data, int length) {
  int taken = length;
  if (const int scripted = Take(SendResults, 0); scripted < 0)
    return Fail(-scripted);
  else if (scripted > 0)
    taken = std::min(scripted, length);
  const auto *bytes = static_cast<const std::uint8_t *>(data);
  Sends.emplace_back(bytes, bytes + taken);
  if (Responder)
    Responder(Sends.back(), *this);
  return taken;
}

int FakeIrdaStack::WaitReadable(IrdaSocket, int timeoutMs) {
  WaitTimes.push_back(timeoutMs);
  if (Received.empty())
    return 1; // the receive fails at once
  Incoming &front = Received.front();
  const int passed = std::min(std::max(timeoutMs, 0), front.SilentMs);
  ClockMs += passed;
  front.SilentMs -= passed;
  return front.SilentMs > 0 ? 0 : 1;
}

int FakeIrdaStack::Receive(IrdaSocket, void *data, int length) {
  ReceiveSizes.push_back(length);
  if (Received.empty())
    return Fail(ReceiveErrorWhenEmpty);
  Incoming &front = Received.front();
  ClockMs += front.SilentMs; // a blocking receive waits the silence out
  front.SilentMs = 0;
  if (front.Error != 0) {
    const int error = front.Error;
    Received.pop_front();
    return Fail(error);
  }
  const int n = std::min(length, static_cast<int>(front.Bytes.size()));
  if (n > 0)
    std::memcpy(data, front.Bytes.data(), static_cast<std::size_t>(n));
  if (n == static_cast<int>(front.Bytes.size()))
    Received.pop_front();
  else
    front.Bytes.erase(front.Bytes.begin(), front.Bytes.begin() + n);
  return n;
}

int FakeIrdaStack::Close(IrdaSocket socket) {
  ClosedSockets.push_back(socket);
  const int error = Take(CloseErrors, 0);
  return error != 0 ? Fail(error) : 0;
}

void *FakeIrdaStack::LoadOptionsLibrary() {
  ++LoadCalls;
  return LibraryPresent ? &library_ : nullptr;
}

SetSockValProc FakeIrdaStack::FindSetSockVal(void *) {
  return ExportPresent ? &FakeSetSockVal : nullptr;
}

void FakeIrdaStack::FreeOptionsLibrary(void *) {
  ++FreeCalls;
}
