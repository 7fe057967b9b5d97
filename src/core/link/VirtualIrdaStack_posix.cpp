#include "link/VirtualIrdaStack.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "link/IrdaLayout.h"
#include "link/LinkCodes.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr char DefaultEndpoints[] = "127.0.0.1:4418";
constexpr char OptionsLibraryFile[] = "libWiretune.so";

int LastErrno() {
  return WsaErrorFromErrno(errno);
}

// Resolves "host:port" to an IPv4 address.
bool ResolveEndpoint(const std::string &endpoint, sockaddr_in &address) {
  const auto colon = endpoint.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == endpoint.size())
    return false;
  const std::string host = endpoint.substr(0, colon);
  const std::string port = endpoint.substr(colon + 1);
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo *found = nullptr;
  if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || !found)
    return false;
  std::memcpy(&address, found->ai_addr, sizeof address);
  freeaddrinfo(found);
  return true;
}

int Remaining(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Waits until `fd` is ready for `events`; 0 or a Windows Sockets error.
int WaitReady(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    const int n = poll(&p, 1, Remaining(deadline));
    if (n > 0)
      return 0;
    if (n == 0)
      return WsaTimedOut;
    if (errno != EINTR)
      return LastErrno();
  }
}

// Connects `fd` to the endpoint, giving up after `timeoutMs`.
int ConnectWithin(int fd, const std::string &endpoint, int timeoutMs) {
  sockaddr_in address{};
  if (!ResolveEndpoint(endpoint, address))
    return WsaInvalidArgument;
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0)
    return LastErrno();
  int result = 0;
  if (connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
    if (errno != EINPROGRESS) {
      result = LastErrno();
    } else if ((result = WaitReady(fd, POLLOUT,
                                   Clock::now() + std::chrono::milliseconds(timeoutMs))) == 0) {
      int error = 0;
      socklen_t size = sizeof error;
      if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
        result = LastErrno();
      else if (error != 0)
        result = WsaErrorFromErrno(error);
    }
  }
  fcntl(fd, F_SETFL, flags);
  return result;
}

int SendAll(int fd, const std::string &text) {
  std::size_t sent = 0;
  while (sent < text.size()) {
    const ssize_t n = send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return n < 0 ? LastErrno() : WsaConnectionReset;
    sent += static_cast<std::size_t>(n);
  }
  return 0;
}

// Reads one LF-ended line byte by byte, so nothing after it is consumed.
// 0; 10060 when it does not come in time; 10054 when the peer closes first;
// 10022 for a line longer than the link allows.
int ReadLine(int fd, std::string &line, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  line.clear();
  for (;;) {
    if (const int waited = WaitReady(fd, POLLIN, deadline); waited != 0)
      return waited;
    char c;
    const ssize_t n = recv(fd, &c, 1, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
      continue;
    if (n < 0)
      return LastErrno();
    if (n == 0)
      return WsaConnectionReset;
    if (c == '\n')
      break;
    if (line.size() >= static_cast<std::size_t>(VirtualIrdaStack::MaxLine))
      return WsaInvalidArgument;
    line += c;
  }
  if (!line.empty() && line.back() == '\r')
    line.pop_back();
  return 0;
}

std::vector<std::string> SplitBlanks(const std::string &line) {
  std::vector<std::string> fields;
  std::size_t at = 0;
  for (;;) {
    const auto blank = line.find(' ', at);
    fields.push_back(line.substr(at, blank - at));
    if (blank == std::string::npos)
      return fields;
    at = blank + 1;
  }
}

bool ParseHex(const std::string &hex, std::vector<std::uint8_t> &bytes) {
  if (hex.size() % 2 != 0)
    return false;
  bytes.clear();
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    int value = 0;
    for (std::size_t k = i; k < i + 2; ++k) {
      const char c = hex[k];
      int digit;
      if (c >= '0' && c <= '9')
        digit = c - '0';
      else if (c >= 'a' && c <= 'f')
        digit = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F')
        digit = c - 'A' + 10;
      else
        return false;
      value = value * 16 + digit;
    }
    bytes.push_back(static_cast<std::uint8_t>(value));
  }
  return true;
}

// "DEVICE <id> <name> <hint1> <hint2> <charset>" into a device list entry.
bool ParseDeviceLine(const std::string &line, IRDA_DEVICE_INFO &entry) {
  const auto f = SplitBlanks(line);
  std::vector<std::uint8_t> id, name, hint1, hint2, charset;
  if (f.size() != 6 || f[0] != "DEVICE" || f[1].size() != 8 || !ParseHex(f[1], id) ||
      f[2].size() < 2 || f[2].size() > 44 || !ParseHex(f[2], name) || f[3].size() != 2 ||
      !ParseHex(f[3], hint1) || f[4].size() != 2 || !ParseHex(f[4], hint2) || f[5].size() != 2 ||
      !ParseHex(f[5], charset))
    return false;
  entry = {};
  std::memcpy(entry.irdaDeviceID, id.data(), 4);
  std::memcpy(entry.irdaDeviceName, name.data(), name.size());
  entry.irdaDeviceHints1 = hint1[0];
  entry.irdaDeviceHints2 = hint2[0];
  entry.irdaCharSet = charset[0];
  return true;
}

// Fills the attribute of an IAS query from the device's answer line.
int ParseIasLine(const std::string &line, IAS_QUERY &query) {
  const auto f = SplitBlanks(line);
  auto put = [](std::uint8_t *at, std::uint32_t value) { std::memcpy(at, &value, 4); };
  std::vector<std::uint8_t> bytes;
  const std::string value = f.size() > 1 ? f[1] : std::string();
  if (f[0] == "NONE" && f.size() == 1) {
    put(query.irdaAttribType, IAS_ATTRIB_NO_ATTRIB);
  } else if (f[0] == "OCTETSEQ" && f.size() <= 2 && ParseHex(value, bytes)) {
    if (bytes.size() > static_cast<std::size_t>(IAS_QUERY::MaxOctets))
      return WsaInvalidArgument;
    put(query.irdaAttribType, IAS_ATTRIB_OCTETSEQ);
    put(query.irdaAttribLen, static_cast<std::uint32_t>(bytes.size()));
    if (!bytes.empty())
      std::memcpy(query.irdaAttribValue, bytes.data(), bytes.size());
  } else if (f[0] == "INTEGER" && f.size() == 2 && !value.empty()) {
    char *end = nullptr;
    errno = 0;
    const long number = std::strtol(value.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || number < INT32_MIN || number > INT32_MAX)
      return WsaNetworkDown;
    put(query.irdaAttribType, IAS_ATTRIB_INT);
    put(query.irdaAttribLen, static_cast<std::uint32_t>(static_cast<std::int32_t>(number)));
  } else if (f[0] == "STRING" && f.size() <= 2 && ParseHex(value, bytes)) {
    if (bytes.size() > 256)
      return WsaInvalidArgument;
    put(query.irdaAttribType, IAS_ATTRIB_STR);
    put(query.irdaAttribLen, static_cast<std::uint32_t>(bytes.size()));
    put(query.irdaAttribValue, 0); // character set: ASCII
    if (!bytes.empty())
      std::memcpy(query.irdaAttribValue + 4, bytes.data(), bytes.size());
  } else {
    return WsaNetworkDown;
  }
  return 0;
}

std::string FieldText(const char *field, std::size_t size) {
  return std::string(field, strnlen(field, size));
}

std::string ExecutableFolder() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0)
    return ".";
  std::string folder(path, static_cast<std::size_t>(n));
  const auto slash = folder.rfind('/');
  return slash == std::string::npos ? "." : folder.substr(0, slash);
}

} // namespace

int WsaErrorFromErrno(int error) {
  switch (error) {
  case ETIMEDOUT:
  case EAGAIN:
#if EWOULDBLOCK != EAGAIN
  case EWOULDBLOCK:
#endif
    return WsaTimedOut;
  case ECONNREFUSED:
    return WsaRefused;
  case ECONNRESET:
  case EPIPE:
    return WsaConnectionReset;
  case EBADF:
  case ENOTSOCK:
    return WsaNotSocket;
  case EINVAL:
    return WsaInvalidArgument;
  default:
    return WsaNetworkDown;
  }
}

std::vector<std::string> ParseEndpointList(const std::string &list) {
  std::vector<std::string> endpoints;
  std::size_t at = 0;
  while (at <= list.size()) {
    auto comma = list.find(',', at);
    if (comma == std::string::npos)
      comma = list.size();
    std::string item = list.substr(at, comma - at);
    const auto first = item.find_first_not_of(" \t");
    const auto last = item.find_last_not_of(" \t");
    if (first != std::string::npos)
      endpoints.push_back(item.substr(first, last - first + 1));
    at = comma + 1;
  }
  return endpoints;
}

std::vector<std::string> EndpointsFromEnvironment() {
  const char *list = std::getenv("VX4418_IRDA_DEVICES");
  return ParseEndpointList(list && *list ? list : DefaultEndpoints);
}

VirtualIrdaConfig VirtualIrdaConfigFromEnvironment() {
  VirtualIrdaConfig config;
  config.LibraryFolder = ExecutableFolder();
  return config;
}

std::unique_ptr<IrdaStack> CreatePlatformIrdaStack() {
  return std::make_unique<VirtualIrdaStack>(VirtualIrdaConfigFromEnvironment());
}

VirtualIrdaStack::VirtualIrdaStack(VirtualIrdaConfig config) : config_(std::move(config)) {}

VirtualIrdaStack::~VirtualIrdaStack() {
  for (IrdaSocket socket : sockets_)
    close(static_cast<int>(socket));
}

int VirtualIrdaStack::Fail(int wsaError) {
  lastError_ = wsaError;
  return -1;
}

int VirtualIrdaStack::Startup(std::uint16_t) {
  return 0;
}

void VirtualIrdaStack::Cleanup() {}

IrdaSocket VirtualIrdaStack::CreateSocket() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    lastError_ = LastErrno();
    return IrdaInvalidSocket;
  }
  if (fd == 0) { // handle 0 means "no connection" to the program
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 1);
    const int error = errno;
    close(fd);
    if (moved < 0) {
      lastError_ = WsaErrorFromErrno(error);
      return IrdaInvalidSocket;
    }
    fd = moved;
  }
  sockets_.insert(fd);
  return fd;
}

const std::string *VirtualIrdaStack::EndpointOf(const std::uint8_t *deviceId) const {
  std::array<std::uint8_t, 4> id;
  std::memcpy(id.data(), deviceId, 4);
  const auto found = deviceEndpoints_.find(id);
  return found == deviceEndpoints_.end() ? nullptr : &found->second;
}

int VirtualIrdaStack::EnumDevices(IrdaSocket socket, void *deviceList, int length) {
  if (!Owns(socket))
    return Fail(WsaNotSocket);
  if (length < 4)
    return Fail(WsaInvalidArgument);
  auto *out = static_cast<std::uint8_t *>(deviceList);
  deviceEndpoints_.clear();
  std::uint32_t count = 0;
  const std::vector<std::string> endpoints =
      config_.Endpoints ? *config_.Endpoints : EndpointsFromEnvironment();
  for (const std::string &endpoint : endpoints) {
    const std::size_t entryAt = 4 + count * sizeof(IRDA_DEVICE_INFO);
    if (count >= static_cast<std::uint32_t>(DEVICELIST::MaxDevices) ||
        entryAt + sizeof(IRDA_DEVICE_INFO) > static_cast<std::size_t>(length))
      break;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
      return Fail(LastErrno());
    std::string line;
    IRDA_DEVICE_INFO entry;
    const bool answered =
        ConnectWithin(fd, endpoint, config_.RangeTimeoutMs) == 0 && SendAll(fd, "INFO\n") == 0 &&
        ReadLine(fd, line, config_.RangeTimeoutMs) == 0 && ParseDeviceLine(line, entry);
    close(fd);
    if (!answered)
      continue; // out of range
    std::memcpy(out + entryAt, &entry, sizeof entry);
    std::array<std::uint8_t, 4> id;
    std::memcpy(id.data(), entry.irdaDeviceID, 4);
    deviceEndpoints_.emplace(id, endpoint);
    ++count;
  }
  std::memcpy(out, &count, 4);
  return 0;
}

int VirtualIrdaStack::IasQuery(IrdaSocket socket, void *buffer, int length) {
  if (!Owns(socket))
    return Fail(WsaNotSocket);
  if (length < static_cast<int>(sizeof(IAS_QUERY)))
    return Fail(WsaInvalidArgument);
  auto &query = *static_cast<IAS_QUERY *>(buffer);
  const std::string *endpoint = EndpointOf(query.irdaDeviceID);
  if (!endpoint)
    return Fail(WsaInvalidArgument);
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return Fail(LastErrno());
  const std::string request = "IAS " + FieldText(query.irdaClassName, 64) + " " +
                              FieldText(query.irdaAttribName, 256) + "\n";
  std::string line;
  int result = ConnectWithin(fd, *endpoint, config_.RangeTimeoutMs);
  if (result == 0)
    result = SendAll(fd, request);
  if (result == 0)
    result = ReadLine(fd, line, config_.ReplyTimeoutMs);
  close(fd);
  if (result == 0)
    result = ParseIasLine(line, query);
  return result == 0 ? 0 : Fail(result);
}

int VirtualIrdaStack::SetNineWireMode(IrdaSocket socket, int value) {
  if (!Owns(socket))
    return Fail(WsaNotSocket);
  nineWire_[socket] = value;
  return 0;
}

int VirtualIrdaStack::Connect(IrdaSocket socket, const void *address, int length) {
  if (!Owns(socket))
    return Fail(WsaNotSocket);
  if (length < static_cast<int>(sizeof(SOCKADDR_IRDA)))
    return Fail(WsaInvalidArgument);
  SOCKADDR_IRDA irda;
  std::memcpy(&irda, address, sizeof irda);
  const std::string *endpoint = EndpointOf(irda.irdaDeviceID);
  if (irda.irdaAddressFamily != 26 || !endpoint)
    return Fail(WsaInvalidArgument);
  const int fd = static_cast<int>(socket);
  int result = ConnectWithin(fd, *endpoint, config_.RangeTimeoutMs);
  if (result != 0)
    return Fail(result);
  const auto mode = nineWire_.find(socket);
  const bool nineWire = mode != nineWire_.end() && mode->second != 0;
  result =
      SendAll(fd, "CONNECT " + FieldText(irda.irdaServiceName, 25) + (nineWire ? " 1\n" : " 0\n"));
  std::string line;
  if (result == 0)
    result = ReadLine(fd, line, config_.ReplyTimeoutMs);
  if (result == 0 && line != "OK")
    result = line == "REFUSED" ? WsaRefused : WsaNetworkDown;
  return result == 0 ? 0 : Fail(result);
}

int VirtualIrdaStack::Send(IrdaSocket socket, const void *data, int length) {
  if (!Owns(socket))
    return Fail(WsaNotSocket);
  for (;;) {
    const ssize_t n =
        send(static_cast<int>(socket), data, static_cast<std::size_t>(length), MSG_NOSIGNAL);
    if (n >= 0)
      return static_cast<int>(n);
    if (errno != EINTR)
      return Fail(LastErrno());
  }
}

int VirtualIrdaStack::Receive(IrdaSocket socket, void *data, int length) {
  if (!Owns(socket))
    return Fail(WsaNotSocket);
  for (;;) {
    const ssize_t n = recv(static_cast<int>(socket), data, static_cast<std::size_t>(length), 0);
    if (n >= 0)
      return static_cast<int>(n);
    if (errno != EINTR)
      return Fail(LastErrno());
  }
}

int VirtualIrdaStack::WaitReadable(IrdaSocket socket, int timeoutMs) {
  if (!Owns(socket))
    return Fail(WsaNotSocket);
  const int waited = WaitReady(static_cast<int>(socket), POLLIN,
                               Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0)));
  if (waited == WsaTimedOut)
    return 0;
  return waited == 0 ? 1 : Fail(waited);
}

int VirtualIrdaStack::ReceiveTimeoutMs(IrdaSocket socket) {
  if (!Owns(socket))
    return Fail(WsaNotSocket);
  timeval timeout{};
  socklen_t size = sizeof timeout;
  if (getsockopt(static_cast<int>(socket), SOL_SOCKET, SO_RCVTIMEO, &timeout, &size) != 0)
    return 0;
  const long long ms =
      static_cast<long long>(timeout.tv_sec) * 1000 + (timeout.tv_usec + 999) / 1000;
  return static_cast<int>(std::min<long long>(ms, INT_MAX));
}

int VirtualIrdaStack::Close(IrdaSocket socket) {
  if (!Owns(socket))
    return Fail(WsaNotSocket);
  sockets_.erase(socket);
  nineWire_.erase(socket);
  return close(static_cast<int>(socket)) == 0 ? 0 : Fail(LastErrno());
}

void *VirtualIrdaStack::LoadOptionsLibrary() {
  const std::string path = config_.LibraryFolder + "/" + OptionsLibraryFile;
  return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

SetSockValProc VirtualIrdaStack::FindSetSockVal(void *library) {
  void *symbol = dlsym(library, "SetSockVal");
  SetSockValProc proc = nullptr;
  static_assert(sizeof proc == sizeof symbol);
  std::memcpy(&proc, &symbol, sizeof proc);
  return proc;
}

void VirtualIrdaStack::FreeOptionsLibrary(void *library) {
  dlclose(library);
}
