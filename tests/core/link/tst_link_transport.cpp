// The IrDA transport over the scripted fake stack.
#include <QTest>
#include <cstring>

#include "link/LinkCodes.h"
#include "tst_link.h"

void TestLink::openTunesEverySocketAndLoadsTheLibraryOnce() {
  FakeLink f;
  f.fake().LibraryPresent = true;
  FakeIrdaStack::SetSockValCalls().clear();
  SOCKADDR_IRDA address;
  address.irdaAddressFamily = 0;
  address.irdaServiceName[0] = 0;
  IrdaSocket first = 0, second = 0;
  QCOMPARE(f.link.IrdaOpen(address, first), IrdaSocketCreated);
  QCOMPARE(f.link.IrdaOpen(address, second), IrdaSocketCreated);
  QCOMPARE(address.irdaAddressFamily, 26);
  QCOMPARE(QByteArray(address.irdaServiceName), QByteArray("IrDA:IrCOMM"));
  QCOMPARE(f.fake().LoadCalls, 1);
  QCOMPARE(FakeIrdaStack::SetSockValCalls(),
           (std::vector<int>{static_cast<int>(first), static_cast<int>(second)}));
  QVERIFY(f.link.OptionsLibraryLoaded());
  f.link.FreeOptionsLibrary();
  f.link.FreeOptionsLibrary();
  QCOMPARE(f.fake().FreeCalls, 1);
}

void TestLink::openWithoutLibraryOrExport() {
  FakeLink f;
  FakeIrdaStack::SetSockValCalls().clear();
  SOCKADDR_IRDA address;
  IrdaSocket socket = 0;
  QCOMPARE(f.link.IrdaOpen(address, socket), IrdaSocketCreated);
  QCOMPARE(f.link.IrdaOpen(address, socket), IrdaSocketCreated);
  QCOMPARE(f.fake().LoadCalls, 2); // each open tries again

  f.fake().LibraryPresent = true;
  f.fake().ExportPresent = false;
  QCOMPARE(f.link.IrdaOpen(address, socket), IrdaSocketCreated);
  QVERIFY(FakeIrdaStack::SetSockValCalls().empty());
}

void TestLink::openFailures() {
  FakeLink f;
  SOCKADDR_IRDA address;
  IrdaSocket socket = 0;
  f.fake().StartupResults = {10091};
  QCOMPARE(f.link.IrdaOpen(address, socket), LinkFailed);
  QCOMPARE(socket, IrdaSocket(0));
  f.fake().SocketErrors = {10047};
  QCOMPARE(f.link.IrdaOpen(address, socket), IrdaSocketNotCreated);
  QCOMPARE(socket, IrdaInvalidSocket);
  QCOMPARE(f.fake().LoadCalls, 0);
}

void TestLink::findDevicesRetries_data() {
  QTest::addColumn<int>("failures");
  QTest::addColumn<int>("devices");
  QTest::addColumn<int>("result");
  QTest::addColumn<int>("sleeps");
  QTest::newRow("first call finds one") << 0 << 1 << 0 << 0;
  QTest::newRow("three failures, then two") << 3 << 2 << 0 << 3;
  QTest::newRow("nobody in range") << 0 << 0 << LinkNoDevice << 0;
  QTest::newRow("48 failures, then none") << 48 << 0 << LinkNoDevice << 48;
  QTest::newRow("49 failures") << 49 << 1 << 10055 << 48;
}

void TestLink::findDevicesRetries() {
  QFETCH(int, failures);
  QFETCH(int, devices);
  QFETCH(int, result);
  QFETCH(int, sleeps);
  FakeLink f;
  for (int i = 0; i < failures; ++i)
    f.fake().Enumerations.push_back({i == failures - 1 ? 10055 : 10050, {}}); // last one counts
  f.fake().Enumerations.push_back({0, std::vector<FakeIrdaStack::Device>(devices)});
  f.fake().SetLastError(10055);
  DEVICELIST list;
  QCOMPARE(f.link.IrdaFindDevices(list, 100), result);
  QCOMPARE(f.fake().EnumCalls, std::min(failures + 1, 49));
  QCOMPARE(f.sleeps, sleeps);
  if (failures < 49) {
    QCOMPARE(f.fake().LastError(), 0);
    QCOMPARE(list.count(), std::uint32_t(devices));
  }
}

void TestLink::connectWalksIasParameters_data() {
  QTest::addColumn<int>("type");
  QTest::addColumn<Bytes>("octets");
  QTest::addColumn<int>("result");
  QTest::newRow("9-wire first") << 2 << Bytes{0x00, 0x01, 0x04} << 0;
  QTest::newRow("9-wire after others") << 2 << Bytes{0x01, 0x02, 0xAA, 0xBB, 0x00, 0x01, 0x06} << 0;
  QTest::newRow("service type without 9-wire, later with")
      << 2 << Bytes{0x00, 0x01, 0x02, 0x00, 0x01, 0x04} << 0;
  QTest::newRow("3-wire only") << 2 << Bytes{0x00, 0x01, 0x02} << WsaRefused;
  QTest::newRow("fewer than 3 octets") << 2 << Bytes{0x00, 0x04} << WsaRefused;
  QTest::newRow("integer attribute") << 1 << Bytes{0x00, 0x01, 0x04} << WsaRefused;
  QTest::newRow("no attribute") << 0 << Bytes{} << WsaRefused;
  QTest::newRow("step past the end") << 2 << Bytes{0x05, 0x09, 0x00, 0x01, 0x04} << WsaRefused;
  QTest::newRow("value byte missing") << 2 << Bytes{0x01, 0x00, 0x00, 0x01} << WsaRefused;
}

void TestLink::connectWalksIasParameters() {
  QFETCH(int, type);
  QFETCH(Bytes, octets);
  QFETCH(int, result);
  FakeLink f;
  f.fake().IasAnswers.push_back({0, static_cast<std::uint32_t>(type), octets});
  DEVICELIST list;
  QCOMPARE(f.link.IrdaFindDevices(list, 100), 0);
  SOCKADDR_IRDA address;
  QCOMPARE(f.link.IrdaConnect(0, 100, list, address), result);
  QCOMPARE(f.fake().NineWireValues.size(), std::size_t(result == 0 ? 1 : 0));
  QCOMPARE(f.fake().Connects.size(), std::size_t(result == 0 ? 1 : 0));
}

void TestLink::connectUsesFirstDeviceAndPassesErrors() {
  FakeLink f;
  FakeIrdaStack::Device a, b;
  a.Id = {0xA1, 0xA2, 0xA3, 0xA4};
  b.Id = {0xB1, 0xB2, 0xB3, 0xB4};
  f.fake().Devices = {a, b};
  DEVICELIST list;
  SOCKADDR_IRDA address;
  QCOMPARE(f.link.IrdaFindDevices(list, 100), 0);
  QCOMPARE(f.link.IrdaConnect(0, 100, list, address), 0);

  const Bytes &query = f.fake().IasQueries.at(0);
  QCOMPARE(query.size(), std::size_t(1385));
  QCOMPARE(Bytes(query.begin(), query.begin() + 4), (Bytes{0xA1, 0xA2, 0xA3, 0xA4}));
  QCOMPARE(QByteArray(reinterpret_cast<const char *>(query.data() + 4)), QByteArray("IrDA:IrCOMM"));
  QCOMPARE(QByteArray(reinterpret_cast<const char *>(query.data() + 68)), QByteArray("Parameters"));
  QCOMPARE(f.fake().NineWireValues, std::vector<int>{0});
  const Bytes &sockaddr = f.fake().Connects.at(0);
  QCOMPARE(sockaddr.size(), std::size_t(32));
  QCOMPARE(Bytes(sockaddr.begin(), sockaddr.begin() + 6), (Bytes{26, 0, 0xA1, 0xA2, 0xA3, 0xA4}));
  QCOMPARE(QByteArray(reinterpret_cast<const char *>(sockaddr.data() + 6)),
           QByteArray("IrDA:IrCOMM"));

  f.fake().IasAnswers.push_back({10060, 2, {}});
  QCOMPARE(f.link.IrdaConnect(0, 100, list, address), 10060);
  f.fake().NineWireErrors = {10042};
  QCOMPARE(f.link.IrdaConnect(0, 100, list, address), 10042);
  f.fake().ConnectErrors = {10061};
  QCOMPARE(f.link.IrdaConnect(0, 100, list, address), 10061);
  QCOMPARE(f.link.IrdaConnect(2, 100, list, address), WsaInvalidArgument);
}

void TestLink::closeAlwaysEndsWinsockAndClearsHandle() {
  FakeLink f;
  IrdaSocket socket = 0;
  QCOMPARE(f.link.IrdaClose(socket), 0);
  QVERIFY(f.fake().ClosedSockets.empty()); // handle 0 is never closed
  QCOMPARE(f.fake().CleanupCalls, 1);

  socket = 101;
  f.fake().CloseErrors = {10038};
  QCOMPARE(f.link.IrdaClose(socket), 10038);
  QCOMPARE(socket, IrdaSocket(0));
  QCOMPARE(f.fake().ClosedSockets, std::vector<IrdaSocket>{101});
  QCOMPARE(f.fake().CleanupCalls, 2);
}

void TestLink::sendLoopsOverPartialSends() {
  FakeLink f;
  const Bytes frame{0x55, 0x04, 0x50, 0x01, 0xEE};
  f.fake().SendResults = {2, 1};
  QCOMPARE(f.link.IrdaSend(100, frame.data(), 5), 0);
  QCOMPARE(f.fake().Sends.size(), std::size_t(3));
  QCOMPARE(f.fake().SentBytes(), frame);
  f.fake().SendResults = {3, -10054};
  QCOMPARE(f.link.IrdaSend(100, frame.data(), 5), 10054);
}

void TestLink::receiveErrorLeavesBufferAlone() {
  FakeLink f;
  std::uint8_t buffer[8] = {9, 9, 9, 9, 9, 9, 9, 9};
  int length = 8;
  f.fake().QueueError(10060);
  QCOMPARE(f.link.IrdaReceive(100, buffer, length), 10060);
  QCOMPARE(length, 8);
  QCOMPARE(buffer[0], 9);
  f.fake().Queue({1, 2, 3});
  QCOMPARE(f.link.IrdaReceive(100, buffer, length), 0);
  QCOMPARE(length, 3);
  QCOMPARE(buffer[2], 3);
  f.fake().QueueClosed();
  QCOMPARE(f.link.IrdaReceive(100, buffer, length), 0);
  QCOMPARE(length, 0);
}
