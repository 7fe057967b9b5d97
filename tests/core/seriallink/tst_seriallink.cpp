// The serial backend's own rules: why a port cannot be opened, how a port is
// listed, and the stack the settings choose at each connection.
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include "link/ChosenIrdaStack.h"
#include "link/IrdaTransport.h"
#include "link/LinkCodes.h"
#include "link/SerialPortList.h"
#include "link/VirtualIrdaStack.h"

class TestSerialLink : public QObject {
  Q_OBJECT
private slots:
  void openFailureNamesItsCause_data() {
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("accessible");
    QTest::addColumn<int>("code");
    QTest::newRow("opened") << int(QSerialPort::NoError) << true << true << 0;
    QTest::newRow("no such device")
        << int(QSerialPort::DeviceNotFoundError) << false << false << LinkPortMissing;
    QTest::newRow("held by another program")
        << int(QSerialPort::PermissionError) << true << true << LinkPortBusy;
    QTest::newRow("not the user's")
        << int(QSerialPort::PermissionError) << true << false << LinkPortNoPermission;
    QTest::newRow("gone meanwhile")
        << int(QSerialPort::PermissionError) << false << false << LinkPortMissing;
    QTest::newRow("other") << int(QSerialPort::OpenError) << true << true << LinkPortFailed;
  }
  void openFailureNamesItsCause() {
    QFETCH(int, error);
    QFETCH(bool, exists);
    QFETCH(bool, accessible);
    QFETCH(int, code);
    QCOMPARE(PortOpenFailure(error, exists, accessible), code);
  }

  void portsAreListedWithWhatTheSystemSays() {
    SerialPortFacts usb{"ttyUSB0", "/dev/ttyUSB0", "IrDA adapter", "Maker", true, 0x04d8, 0xdd};
    const SerialPortEntry entry = SerialPortEntryOf(usb);
    QCOMPARE(entry.Location, QString("/dev/ttyUSB0"));
    QCOMPARE(entry.Label, QString("ttyUSB0 - IrDA adapter (USB 04d8:00dd)"));
    SerialPortFacts board{"ttyS0", "/dev/ttyS0", "", "", false, 0, 0};
    QCOMPARE(SerialPortEntryOf(board).Label, QString("ttyS0"));
    board.Manufacturer = "Board maker";
    QCOMPARE(SerialPortEntryOf(board).Label, QString("ttyS0 - Board maker"));
  }

  // The choice is asked at every connection: a missing port fails the search
  // with its cause and loads no options library; the socket comes back the
  // moment the settings say so.
  void theSettingsChooseAtEachConnection() {
    QTemporaryDir dir;
    LinkChoice choice;
    choice.Serial = true;
    choice.Port.PortName = dir.filePath("ttyNone");
    VirtualIrdaConfig config;
    config.Endpoints = std::vector<std::string>{}; // nothing in range
    config.LibraryFolder = dir.path().toStdString();
    auto chosen = std::make_shared<ChosenIrdaStack>(std::make_shared<VirtualIrdaStack>(config),
                                                    [&choice] { return choice; });
    IrdaTransport link(chosen);
    link.Sleep = [](int) {};
    SOCKADDR_IRDA address{};
    IrdaSocket socket = 0;
    QCOMPARE(link.IrdaOpen(address, socket), IrdaSocketCreated);
    DEVICELIST devices{};
    QCOMPARE(link.IrdaFindDevices(devices, socket), LinkPortMissing);
    QCOMPARE(chosen->ModemLines(socket), -1);
    QVERIFY(!link.OptionsLibraryLoaded());
    QCOMPARE(link.IrdaClose(socket), 0);
    QVERIFY(dynamic_cast<SerialIrdaStack *>(&chosen->Current()));

    choice.Serial = false;
    QCOMPARE(link.IrdaOpen(address, socket), IrdaSocketCreated);
    QVERIFY(dynamic_cast<VirtualIrdaStack *>(&chosen->Current()));
    QCOMPARE(link.IrdaFindDevices(devices, socket), LinkNoDevice);
    link.IrdaClose(socket);
  }
};

QTEST_GUILESS_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
