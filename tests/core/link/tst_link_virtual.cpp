// The virtual IrDA link against a small line responder on a loopback port.
#include <QCoreApplication>
#include <QTest>
#include <atomic>
#include <cerrno>
#include <dlfcn.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

#include "link/InstrumentProtocol.h"
#include "link/LinkCodes.h"
#include "link/VirtualIrdaStack.h"
#include "tst_link.h"

namespace {

// One virtual instrument: answers each connection's first line, then closes,
// stays silent, or echoes raw bytes back.
class Responder {
public:
  enum After { Close, Silent, Echo };
  struct Reply {
    std::string Text;
    After Then = Close;
  };
  using Answer = std::function<Reply(const std::string &line)>;

  explicit Responder(Answer answer) : answer_(std::move(answer)) {
    listen_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(listen_, reinterpret_cast<sockaddr *>(&address), size);
    listen(listen_, 8);
    getsockname(listen_, reinterpret_cast<sockaddr *>(&address), &size);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
  }
  ~Responder() {
    stop_ = true;
    thread_.join();
    close(listen_);
  }
  std::string Endpoint() const { return "127.0.0.1:" + std::to_string(port_); }
  std::vector<std::string> Lines() {
    std::lock_guard lock(mutex_);
    return lines_;
  }

private:
  bool Wait(int fd) {
    pollfd p{fd, POLLIN, 0};
    while (!stop_)
      if (poll(&p, 1, 20) > 0)
        return true;
    return false;
  }
  void Run() {
    while (Wait(listen_)) {
      const int fd = accept(listen_, nullptr, nullptr);
      std::string line;
      char c;
      while (Wait(fd) && recv(fd, &c, 1, 0) == 1 && c != '\n')
        line += c;
      {
        std::lock_guard lock(mutex_);
        lines_.push_back(line);
      }
      const Reply reply = answer_(line);
      send(fd, reply.Text.data(), reply.Text.size(), MSG_NOSIGNAL);
      char buffer[512];
      ssize_t n;
      while (reply.Then != Close && Wait(fd) && (n = recv(fd, buffer, sizeof buffer, 0)) > 0)
        if (reply.Then == Echo)
          send(fd, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL);
      close(fd);
    }
  }

  Answer answer_;
  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::string> lines_;
};

// An instrument answering INFO, IAS and CONNECT as given.
Responder::Answer Instrument(std::string device, std::string ias, Responder::Reply connect) {
  return [=](const std::string &line) -> Responder::Reply {
    if (line == "INFO")
      return {device + "\n"};
    if (line.rfind("IAS ", 0) == 0)
      return {ias + "\n"};
    return connect;
  };
}

const std::string SimDevice = "DEVICE 0a0B0c0D 53494d2d31 82 04 00"; // "SIM-1"

std::string ClosedPortEndpoint() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  bind(fd, reinterpret_cast<sockaddr *>(&address), size);
  getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size);
  close(fd);
  return "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
}

std::shared_ptr<VirtualIrdaStack> Stack(std::vector<std::string> endpoints,
                                        std::string folder = "/nonexistent") {
  VirtualIrdaConfig config;
  config.Endpoints = std::move(endpoints);
  config.LibraryFolder = std::move(folder);
  return std::make_shared<VirtualIrdaStack>(config);
}

// Open, find and connect like an exchange does; the connect result.
int OpenAndConnect(IrdaTransport &link, IrdaSocket &socket) {
  SOCKADDR_IRDA address;
  DEVICELIST list;
  if (link.IrdaOpen(address, socket) != IrdaSocketCreated)
    return -100;
  if (const int found = link.IrdaFindDevices(list, socket); found != 0)
    return found;
  return link.IrdaConnect(0, socket, list, address);
}

} // namespace

void TestLink::errnoMapping_data() {
  QTest::addColumn<int>("error");
  QTest::addColumn<int>("code");
  QTest::newRow("ETIMEDOUT") << ETIMEDOUT << 10060;
  QTest::newRow("EAGAIN") << EAGAIN << 10060;
  QTest::newRow("EWOULDBLOCK") << EWOULDBLOCK << 10060;
  QTest::newRow("ECONNREFUSED") << ECONNREFUSED << 10061;
  QTest::newRow("ECONNRESET") << ECONNRESET << 10054;
  QTest::newRow("EPIPE") << EPIPE << 10054;
  QTest::newRow("EBADF") << EBADF << 10038;
  QTest::newRow("ENOTSOCK") << ENOTSOCK << 10038;
  QTest::newRow("EINVAL") << EINVAL << 10022;
  QTest::newRow("EHOSTUNREACH") << EHOSTUNREACH << 10050;
}

void TestLink::errnoMapping() {
  QFETCH(int, error);
  QFETCH(int, code);
  QCOMPARE(WsaErrorFromErrno(error), code);
}

void TestLink::endpointList() {
  QCOMPARE(ParseEndpointList(" a:1, b:2 ,,c:3,"), (std::vector<std::string>{"a:1", "b:2", "c:3"}));
  qunsetenv("VX4418_IRDA_DEVICES");
  QCOMPARE(EndpointsFromEnvironment(), std::vector<std::string>{"127.0.0.1:4418"});
  const VirtualIrdaConfig config = VirtualIrdaConfigFromEnvironment();
  QVERIFY(!config.Endpoints);
  QCOMPARE(QString::fromStdString(config.LibraryFolder), QCoreApplication::applicationDirPath());

  // Without a list of its own the stack reads the variable at each search.
  Responder instrument(Instrument(SimDevice, "NONE", {"REFUSED\n"}));
  VirtualIrdaStack stack(config);
  const IrdaSocket socket = stack.CreateSocket();
  qputenv("VX4418_IRDA_DEVICES", (ClosedPortEndpoint() + "," + instrument.Endpoint()).c_str());
  DEVICELIST list;
  QCOMPARE(stack.EnumDevices(socket, &list, sizeof list), 0);
  qunsetenv("VX4418_IRDA_DEVICES");
  QCOMPARE(list.count(), 1u);
}

void TestLink::virtualEnumeration() {
  Responder first(Instrument(SimDevice, "NONE", {"REFUSED\n"}));
  Responder silent([](const std::string &) { return Responder::Reply{"", Responder::Silent}; });
  Responder longLine([](const std::string &) {
    return Responder::Reply{"DEVICE 01020304 41 00 00 00" + std::string(5000, ' ') + "\n"};
  });
  Responder malformed(
      [](const std::string &) { return Responder::Reply{"DEVICE 0102 41 00 00 00\n"}; });
  Responder second(
      Instrument("DEVICE FFEEDDCC 41424344454647484950515253545556575859606162 01 02 FF", "NONE",
                 {"REFUSED\n"}));
  auto stack = Stack({first.Endpoint(), ClosedPortEndpoint(), silent.Endpoint(),
                      longLine.Endpoint(), malformed.Endpoint(), "no-port", second.Endpoint()});
  const IrdaSocket socket = stack->CreateSocket();
  QVERIFY(socket > 0);
  DEVICELIST list;
  QCOMPARE(stack->EnumDevices(socket, &list, sizeof list), 0);
  QCOMPARE(list.count(), 2u);
  const IRDA_DEVICE_INFO &a = list.Device[0];
  QCOMPARE(Bytes(a.irdaDeviceID, a.irdaDeviceID + 4), (Bytes{0x0A, 0x0B, 0x0C, 0x0D}));
  QCOMPARE(QByteArray(a.irdaDeviceName, 22), QByteArray("SIM-1").leftJustified(22, '\0'));
  QCOMPARE(a.irdaDeviceHints1, 0x82);
  QCOMPARE(a.irdaDeviceHints2, 0x04);
  const IRDA_DEVICE_INFO &b = list.Device[1];
  QCOMPARE(b.irdaDeviceID[0], 0xFF);
  QCOMPARE(QByteArray(b.irdaDeviceName, 22), QByteArray("ABCDEFGHIPQRSTUVWXY`ab"));
  QCOMPARE(b.irdaCharSet, 0xFF);
  QCOMPARE(first.Lines(), std::vector<std::string>{"INFO"});

  // Nobody in range: the call succeeds with an empty list.
  auto nobody = Stack({ClosedPortEndpoint()});
  const IrdaSocket other = nobody->CreateSocket();
  QCOMPARE(nobody->EnumDevices(other, &list, sizeof list), 0);
  QCOMPARE(list.count(), 0u);
}

void TestLink::virtualConnectAndFrames() {
  Responder instrument(Instrument(SimDevice, "OCTETSEQ 01020a0b000104", {"OK\n", Responder::Echo}));
  IrdaTransport link(Stack({instrument.Endpoint()}));
  IrdaSocket socket = 0;
  QCOMPARE(OpenAndConnect(link, socket), 0);
  QCOMPARE(instrument.Lines(), (std::vector<std::string>{"INFO", "IAS IrDA:IrCOMM Parameters",
                                                         "CONNECT IrDA:IrCOMM 0"}));
  // The responder echoes the request, which reads as a five-byte reply.
  const Bytes request{0x55, 0x04, 0x50, 0x01, 0xEE};
  Bytes reply(5);
  int replyLength = 5;
  QCOMPARE(ExchangeFrame(link, socket, request, reply, replyLength), 0);
  QCOMPARE(reply, request);
  QCOMPARE(link.IrdaClose(socket), 0);
  QCOMPARE(socket, IrdaSocket(0));
}

void TestLink::virtualRefusedAndMissingService() {
  const std::pair<std::string, std::string> cases[] = {
      {"NONE", "no attribute"},       {"INTEGER 4", "integer"},
      {"STRING 4142", "string"},      {"OCTETSEQ 000102", "3-wire only"},
      {"OCTETSEQ", "empty sequence"}, {"OCTETSEQ 0001", "short sequence"}};
  for (const auto &[ias, what] : cases) {
    Responder instrument(Instrument(SimDevice, ias, {"OK\n", Responder::Echo}));
    IrdaTransport link(Stack({instrument.Endpoint()}));
    IrdaSocket socket = 0;
    QVERIFY2(OpenAndConnect(link, socket) == WsaRefused, what.c_str());
    link.IrdaClose(socket);
  }
  {
    Responder instrument(Instrument(SimDevice, "OCTETSEQ 000104", {"REFUSED\n"}));
    IrdaTransport link(Stack({instrument.Endpoint()}));
    IrdaSocket socket = 0;
    QCOMPARE(OpenAndConnect(link, socket), WsaRefused);
    link.IrdaClose(socket);
  }
  {
    Responder instrument(Instrument(SimDevice, "GARBAGE", {"OK\n"}));
    IrdaTransport link(Stack({instrument.Endpoint()}));
    IrdaSocket socket = 0;
    QCOMPARE(OpenAndConnect(link, socket), WsaNetworkDown);
    link.IrdaClose(socket);
  }
  {
    // An IAS answer longer than the link allows is refused.
    Responder instrument(Instrument(SimDevice, "OCTETSEQ " + std::string(4200, '0'), {"OK\n"}));
    IrdaTransport link(Stack({instrument.Endpoint()}));
    IrdaSocket socket = 0;
    QCOMPARE(OpenAndConnect(link, socket), WsaInvalidArgument);
    link.IrdaClose(socket);
  }
}

void TestLink::virtualSocketChecks() {
  auto stack = Stack({});
  std::uint8_t byte = 0;
  QCOMPARE(stack->Close(12345), -1);
  QCOMPARE(stack->LastError(), WsaNotSocket);
  QCOMPARE(stack->Send(12345, &byte, 1), -1);
  IAS_QUERY query; // a device that was never listed
  const IrdaSocket socket = stack->CreateSocket();
  QCOMPARE(stack->IasQuery(socket, &query, sizeof query), -1);
  QCOMPARE(stack->LastError(), WsaInvalidArgument);
  IrdaTransport link(stack);
  IrdaSocket invalid = IrdaInvalidSocket;
  QCOMPARE(link.IrdaClose(invalid), WsaNotSocket);

  // The peer closing the connection reads as a receive of no bytes.
  Responder instrument(Instrument(SimDevice, "OCTETSEQ 000104", {"OK\n", Responder::Close}));
  IrdaTransport closing(Stack({instrument.Endpoint()}));
  IrdaSocket open = 0;
  QCOMPARE(OpenAndConnect(closing, open), 0);
  int length = 10;
  std::uint8_t buffer[10];
  QCOMPARE(closing.IrdaReceive(open, buffer, length), 0);
  QCOMPARE(length, 0);
  closing.IrdaClose(open);
}

void TestLink::optionsLibrary_data() {
  QTest::addColumn<QString>("folder");
  QTest::addColumn<bool>("tuned");
  QTest::newRow("present") << QStringLiteral(VX_LINK_OPTIONS_PRESENT) << true;
  QTest::newRow("without export") << QStringLiteral(VX_LINK_OPTIONS_NOEXPORT) << false;
  QTest::newRow("absent") << QStringLiteral(VX_LINK_OPTIONS_PRESENT "/nothing-here") << false;
}

void TestLink::optionsLibrary() {
  QFETCH(QString, folder);
  QFETCH(bool, tuned);
  const std::string path = folder.toStdString() + "/libWiretune.so";
  IrdaTransport link(Stack({}, folder.toStdString()));
  SOCKADDR_IRDA address;
  IrdaSocket first = 0, second = 0;
  QCOMPARE(link.IrdaOpen(address, first), IrdaSocketCreated);
  QCOMPARE(link.IrdaOpen(address, second), IrdaSocketCreated);
  QCOMPARE(link.OptionsLibraryLoaded(), folder.endsWith("present") || folder.endsWith("noexport"));

  timeval limit{};
  socklen_t size = sizeof limit;
  QCOMPARE(getsockopt(static_cast<int>(second), SOL_SOCKET, SO_RCVTIMEO, &limit, &size), 0);
  QCOMPARE(limit.tv_sec == 1 && limit.tv_usec == 500000, tuned);
  if (tuned) {
    void *library = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    QVERIFY(library);
    QCOMPARE(*static_cast<int *>(dlsym(library, "LinkTestCalls")), 2);
    QCOMPARE(*static_cast<int *>(dlsym(library, "LinkTestSocket")), static_cast<int>(second));
    dlclose(library);
  }
  link.IrdaClose(first);
  link.IrdaClose(second);
  link.FreeOptionsLibrary();
  QVERIFY(!dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD));
}
